// The interface language: the first preferred language the program has a
// translation for, Russian otherwise; and each translation's plural forms.

#include <gtest/gtest.h>

#include "core/Translations.h"
#include "core/config/SetupRules.h"
#include "support/QStringPrinter.h"

using namespace zelvant;

TEST(Translations, FirstPreferredLanguageWithATranslationElseRussian)
{
    const struct
    {
        QStringList preferred;
        const char *language;
    } cases[] = {
        {{QStringLiteral("en-GB"), QStringLiteral("en")}, "en"},
        {{QStringLiteral("en_US.UTF-8")}, "en"},
        {{QStringLiteral("de-DE"), QStringLiteral("de"), QStringLiteral("en")}, "en"},
        {{QStringLiteral("ru-RU"), QStringLiteral("en")}, "ru"},
        {{QStringLiteral("de-DE"), QStringLiteral("fr")}, "ru"},
        {{QStringLiteral("C")}, "ru"},
        {{}, "ru"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(interfaceLanguage(c.preferred), QLatin1String(c.language))
            << c.preferred.join(u':').toStdString();
}

TEST(Translations, IntervalWordsFollowEachLanguagesPlurals)
{
    const auto words = [](const char *hours) {
        const RefreshLabels l = refreshIntervalLabels(QString::fromLatin1(hours));
        return l.before + u'|' + l.after;
    };
    ASSERT_TRUE(installTranslation(QStringLiteral("en")));
    EXPECT_EQ(words("1"), QStringLiteral("Every|hour"));
    EXPECT_EQ(words("24"), QStringLiteral("Every|hours"));
    ASSERT_TRUE(installTranslation(QStringLiteral("ru")));
    EXPECT_EQ(words("24"), QStringLiteral("Каждые|часа"));
    EXPECT_FALSE(installTranslation(QStringLiteral("de")));
    EXPECT_EQ(words("24"), QStringLiteral("Каждые|часа")) << "the Russian one stays";
}
