#pragma once
// The program's name, version, built-in addresses and the constants every
// layer shares.

#include <QString>

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

} // namespace zelvant
