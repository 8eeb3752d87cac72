#pragma once
// The interface language. The texts are written in Russian; an English
// translation comes with the program, and the Russian file carries the plural
// forms the source texts cannot (“1 час”, “24 часа”, “5 часов”).

#include <QString>
#include <QStringList>

namespace zelvant {

// The language of the interface for the given preferred languages (as
// QLocale::uiLanguages() lists them, e.g. from LANGUAGE=en_GB:ru): the first
// one the program has a translation for, Russian when none fits.
QString interfaceLanguage(const QStringList &preferred);
// interfaceLanguage() of ZELVANT_LANGUAGE when set, else of the desktop's
// languages (QLocale::system(), which follows LANGUAGE and LANG).
QString interfaceLanguage();

// Installs the program's translation for language ("ru" or "en") on the
// running application, replacing one installed before. Returns false (and
// keeps the translation installed before) when it is not built in.
bool installTranslation(const QString &language);

} // namespace zelvant
