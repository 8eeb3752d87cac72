#pragma once
// Shows the results where the user sees them: the phones window's table,
// the tray tip and the tray icon (the tray phone's balance, the animation
// while a request is under way, the progress in the tip). It follows the
// result store and the request cycle by their signals; neither knows it.
//
// The icon's pictures are made again only when the shown balance, the
// animation frame or the icon style changes: a new tip alone sets the tip.

#include <QImage>
#include <QObject>

#include <memory>

namespace zelvant {

class AppContext;
class PhonesWindow;
class RequestCycle;
class ResultStore;
class TrayAnimation;
class TrayService;

class TrayPresenter : public QObject
{
    Q_OBJECT
public:
    TrayPresenter(const AppContext &context, const ResultStore &store, TrayService &tray,
                  PhonesWindow &phones, QObject *parent = nullptr);
    ~TrayPresenter() override;

    void follow(const RequestCycle &cycle);
    void setAnimationFrameMs(int milliseconds);

    // The phones window's table and the tip, from the results as they are.
    void showResults();
    // The icon of the tray phone's balance.
    void showBalance();
    // The program is ending: nothing more is drawn.
    void stopShowing();
    // The MQTT broker is out of reach: the tip says so above the balances.
    void setBrokerUnreachable(bool unreachable);

private:
    void resultChanged();
    void setIcon(const QImage &icon);

    const AppContext &m_context;
    const ResultStore &m_store;
    TrayService &m_tray;
    PhonesWindow &m_phones;
    std::unique_ptr<TrayAnimation> m_animation;
    QImage m_shownIcon; // null while the animation draws
    bool m_refreshQueued = false;
    bool m_stopped = false;
    bool m_brokerUnreachable = false;
};

} // namespace zelvant
