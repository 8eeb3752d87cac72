#pragma once
// The pages that ended a phone without a balance, kept whatever the page
// saving setting says: the page a user needs to adjust the page rules for is
// always at hand, and the folder never grows past the newest few.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace zelvant {

constexpr int KeptFailedPages = 20;

// A received page as the saved pages hold it: every line ended by CR LF,
// Windows-1251, characters outside it as character references.
QByteArray savedPageBytes(const QString &text);

// page with every occurrence of secret (a phone's password) replaced by
// BlankedSecret: as it is, HTML-escaped and percent-encoded. Letter case is
// ignored, so that an encoding's hex digits in either case are found.
inline constexpr char BlankedSecret[] = "********";
QString withoutSecret(const QString &page, const QString &secret);

// Writes text into folder (made when missing) as
// "yy-MM-dd_hh-mm-ss-zzz_slotN.html" after now, atomically, then removes the
// oldest such files by modification time (the one written counting as the
// newest) beyond KeptFailedPages; other files stay. Returns the
// file written, or empty with *error saying why.
QString keepFailedPage(const QString &folder, const QString &text, int slot, const QDateTime &now,
                       QString *error = nullptr);

} // namespace zelvant
