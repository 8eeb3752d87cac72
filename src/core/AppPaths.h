#pragma once
// Program-wide constants, file locations, the error log and the stop flag.

#include <QString>

class QDateTime;
class QLocale;

namespace zelvant {

constexpr int PhoneSlotCount = 100;

// Mark of a missing value: default for numbers and window positions read
// from the settings file, and a balance that is drawn as the standard icon.
constexpr int NotFoundSentinel = -230973;

inline const QString ProgramName = QStringLiteral("Zelvant");
inline const QString ProgramVersion = QStringLiteral("2.09");
// "Zelvant v 2.09": the hidden window's caption and the first tray tip.
inline const QString ProgramTitle = ProgramName + QStringLiteral(" v ") + ProgramVersion;

// The operator's login page of the built-in region and the maker's home page.
inline const QString DefaultLoginUrl =
    QStringLiteral("https://lumo.orvel.example/cgi-bin/cgi.exe?function=is_login");
inline const QString HomePageUrl = QStringLiteral("https://zelvant.example/");
inline const QString SupportEmail = QStringLiteral("support@zelvant.example");

// Every file of the program lies beside the executable, whatever the working
// directory is. The settings file follows the executable's name.
class AppPaths
{
public:
    AppPaths() = default;
    explicit AppPaths(const QString &executablePath);
    static AppPaths forFolder(const QString &folder, const QString &executableName = ProgramName);

    QString executablePath() const { return m_executablePath; }
    QString executableDir() const { return m_dir; } // with trailing '/'
    QString errorLogFile() const { return m_dir + QStringLiteral("Zelvant.err"); }
    QString settingsFile() const;
    QString regionFile() const { return m_dir + QStringLiteral("servers.ini"); }
    QString phonesFile() const { return m_dir + QStringLiteral("phones.xml"); }
    QString historyFile() const { return m_dir + QStringLiteral("Zelvant.mdb"); }

private:
    QString m_executablePath;
    QString m_dir;
};

// A local date and time as locale writes it: short date, a blank, long time
// without a zone name (the times are this machine's wall clock).
QString localDateTimeText(const QDateTime &when, const QLocale &locale);

// One line of the error log: when as locale writes it (short date, long time
// without a zone name), ": ", message, CR LF.
QString errorLogLine(const QString &message, const QDateTime &when, const QLocale &locale);

// Appends "<short date> <long time>: <message>\r\n" to fileName, opening and
// closing the file for this one line. Returns false (and the reason in
// *error) when the file cannot be created, opened or written; the line is
// then lost and nothing else is touched.
bool writeErrorLog(const QString &message, const QString &fileName, QString *error = nullptr);

// Program-wide stop flag of the request cycle: set by StopRequest, cleared at
// the start of every cycle; ends the current pause, wait and the cycle.
bool stopRequested();
void setStopRequested(bool on);

} // namespace zelvant
