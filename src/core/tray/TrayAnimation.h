#pragma once
// The tray animation while a phone is being queried: ten frames, one every
// 100 ms, on a timer of the GUI thread. The frame index survives a pause, so
// a resumed animation continues with the next frame.

#include <QImage>
#include <QList>
#include <QObject>
#include <QTimer>

namespace zelvant {

class TrayService;

class TrayAnimation : public QObject
{
    Q_OBJECT
public:
    explicit TrayAnimation(TrayService &tray, int frameMs = 100, QObject *parent = nullptr);

    void resume();  // shows the next frame at once, then one per frameMs
    void suspend(); // no frame is shown after this returns
    bool isRunning() const;
    int frameIndex() const { return m_index; } // 1..10, the next frame to show

private:
    void showNextFrame();

    TrayService &m_tray;
    QList<QImage> m_frames;
    QTimer m_timer;
    int m_index = 1;
};

} // namespace zelvant
