#pragma once
// The setup window: options, phone list, regions. It edits a copy of the
// running options, which the caller applies after a save, and writes the
// phone list on save.

#include <QDialog>
#include <memory>

namespace zelvant {

class AppContext;
struct Options;

class SetupWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SetupWindow(AppContext &context, QWidget *parent = nullptr);
    ~SetupWindow() override;

    // Loads the running options and the phone file into the controls,
    // clears cbRequestNow, shows the window modally. Accepted: the phone list
    // was written, context.phones holds it and options() the edited options
    // (the caller applies and saves them). Rejected: nothing was applied.
    int exec() override;
    const Options &options() const;
    // cbRequestNow as the window was closed, saved or not.
    bool requestNow() const;
    // The MQTT broker's password: kept apart from the options (where the
    // phones' passwords are), so the caller hands it in and takes it back.
    void setBrokerPassword(const QString &password);
    QString brokerPassword() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zelvant
