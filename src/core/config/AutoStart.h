#pragma once
// Per-user autostart entry: the XDG autostart file on Linux, the "Run"
// registry value on Windows.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace zelvant {

class AutoStart
{
public:
    virtual ~AutoStart() = default;
    virtual bool setAutoStart(bool on, QString *error = nullptr) = 0;
    virtual bool isRegistered() const = 0;
};

// The desktop's autostart folder entry ($XDG_CONFIG_HOME/autostart, by
// default ~/.config/autostart) "Zelvant.desktop" that starts the executable
// at log-on. Used on Linux and other XDG desktops.
class XdgAutoStart : public AutoStart
{
public:
    // environment gives HOME and XDG_CONFIG_HOME.
    explicit XdgAutoStart(
        const QString &executablePath,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    bool setAutoStart(bool on, QString *error = nullptr) override;
    bool isRegistered() const override;

    // Where the entry lies by environment's $XDG_CONFIG_HOME.
    static QString desktopFilePath(
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // The entry's text for an executable; false when the path holds
    // characters (line breaks, control characters) an entry cannot carry.
    static bool desktopEntry(const QString &executablePath, QByteArray *entry);

private:
    QString m_executablePath;
    QString m_desktopFile;
};

// The implementation for this platform, for the given executable.
std::unique_ptr<AutoStart> createPlatformAutoStart(const QString &executablePath);

// The setup window's caption of the autostart switch, true to this platform:
// Windows starts programs "at its start", a Linux desktop at log-in.
QString autoStartCaption();

} // namespace zelvant
