#pragma once
// The error log "Zelvant.err": one Windows-1251 line per event, CR LF, with
// the local date and time the way the user's locale writes them.

#include <QString>

class QDateTime;
class QLocale;

namespace zelvant {

// A local date and time as locale writes it: short date, a blank, long time
// without a zone name (the times are this machine's wall clock).
QString localDateTimeText(const QDateTime &when, const QLocale &locale);

// A date and time as the windows show it: in Russian formats, like the rest
// of the interface, whatever the desktop's locale ("07.12.2026 10:00:08").
QString interfaceDateTimeText(const QDateTime &when);

// One line of the error log: when as locale writes it (short date, long time
// without a zone name), ": ", message, CR LF.
QString errorLogLine(const QString &message, const QDateTime &when, const QLocale &locale);

// Appends "<short date> <long time>: <message>\r\n" to fileName, opening and
// closing the file for this one line. Returns false (and the reason in
// *error) when the file cannot be created, opened or written; the line is
// then lost and nothing else is touched.
bool writeErrorLog(const QString &message, const QString &fileName, QString *error = nullptr);

} // namespace zelvant
