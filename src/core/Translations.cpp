#include "core/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace zelvant {

namespace {

// Compiled from translations/zelvant_<language>.ts into the library.
const QStringList Available = {QStringLiteral("ru"), QStringLiteral("en")};

} // namespace

QString interfaceLanguage(const QStringList &preferred)
{
    for (const QString &name : preferred) {
        // "en-GB", "en_GB.UTF-8" and "en" all choose English.
        const QString language = name.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
        if (Available.contains(language))
            return language;
    }
    return QStringLiteral("ru");
}

QString interfaceLanguage()
{
    const QString chosen = qEnvironmentVariable("ZELVANT_LANGUAGE");
    if (!chosen.isEmpty())
        return interfaceLanguage(chosen.split(u':', Qt::SkipEmptyParts));
    return interfaceLanguage(QLocale::system().uiLanguages());
}

bool installTranslation(const QString &language)
{
    // One translator for the whole run; a later call swaps it, and one for a
    // language without a translation keeps the one there is.
    static std::unique_ptr<QTranslator> installed;
    auto loaded = std::make_unique<QTranslator>();
    if (!loaded->load(QStringLiteral(":/i18n/zelvant_%1.qm").arg(language)))
        return false;
    if (installed)
        QCoreApplication::removeTranslator(installed.get());
    installed = std::move(loaded);
    QCoreApplication::installTranslator(installed.get());
    return true;
}

} // namespace zelvant
