// Validation of the phone rows, the key filters and the interval wording.

#include <gtest/gtest.h>

#include "core/config/PhoneList.h"
#include "core/config/SetupRules.h"

using namespace zelvant;

namespace {

void Fill(PhoneList &phones, int slot, const QString &number, const QString &password, bool monitor)
{
    PhoneSlot &s = phones.slot(slot);
    s.number = number;
    s.password = password;
    s.monitored = monitor;
}

} // namespace

TEST(SetupRules, EveryNumberIsCheckedBeforeAnyPassword)
{
    PhoneList phones;
    EXPECT_FALSE(checkPhones(phones)) << "an empty list is valid";

    Fill(phones, 2, QStringLiteral("9161234567"), QString(), true);
    Fill(phones, 5, QString(), QStringLiteral("123"), true);
    PhoneProblem p = checkPhones(phones);
    EXPECT_EQ(p.slot, 5);
    EXPECT_EQ(p.field, PhoneProblem::Number);
    EXPECT_EQ(p.message, QStringLiteral("Не заполнен номер телефона"));

    phones.slot(5).number = QStringLiteral("9031112233");
    p = checkPhones(phones);
    EXPECT_EQ(p.slot, 2);
    EXPECT_EQ(p.field, PhoneProblem::Password);
    EXPECT_EQ(p.message, QStringLiteral("Не заполнен пароль"));

    phones.slot(2).password = QStringLiteral("77");
    EXPECT_FALSE(checkPhones(phones));
}

TEST(SetupRules, BlanksCountAsEmptyAndUnmonitoredRowsAreNotChecked)
{
    PhoneList phones;
    Fill(phones, 1, QString(), QString(), false);
    Fill(phones, 3, QStringLiteral("12"), QString(), false); // stored as it is
    Fill(phones, 7, QStringLiteral("  \t "), QStringLiteral("1"), true);
    Fill(phones, 9, QStringLiteral("12"), QStringLiteral("   "), true);
    PhoneProblem p = checkNumbers(phones);
    EXPECT_EQ(p.slot, 7);
    p = checkPasswords(phones);
    EXPECT_EQ(p.slot, 9);
    EXPECT_EQ(p.field, PhoneProblem::Password);

    Fill(phones, 100, QString(), QString(), true);
    phones.slot(7).number = QStringLiteral("1");
    phones.slot(9).password = QStringLiteral("1");
    EXPECT_EQ(checkPhones(phones).slot, 100) << "the last slot is checked too";
}

TEST(SetupRules, PhoneAndTurnOffKeys)
{
    for (QChar c : QStringLiteral("0123456789+-"))
        EXPECT_TRUE(isPhoneKeyAccepted(c)) << int(c.unicode());
    for (QChar c : QStringLiteral("aZ .,*#()йЖ/"))
        EXPECT_FALSE(isPhoneKeyAccepted(c)) << int(c.unicode());
    // Backspace, Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+A, DEL
    for (char16_t c : {u'\b', u'\x03', u'\x16', u'\x18', u'\x01', u'\x7f'}) {
        EXPECT_TRUE(isPhoneKeyAccepted(QChar(c)));
        EXPECT_TRUE(isTurnOffKeyAccepted(QChar(c)));
    }
    EXPECT_TRUE(isTurnOffKeyAccepted(u'7'));
    for (QChar c : QStringLiteral("+-., x"))
        EXPECT_FALSE(isTurnOffKeyAccepted(c)) << int(c.unicode());
}

TEST(SetupRules, BalanceKeyTurnsCommaIntoOnePoint)
{
    EXPECT_EQ(filterBalanceKey(u',', QStringLiteral("2")), QChar(u'.'));
    EXPECT_EQ(filterBalanceKey(u'.', QStringLiteral("2")), QChar(u'.'));
    EXPECT_EQ(filterBalanceKey(u'5', QStringLiteral("2.7")), QChar(u'5'));
    EXPECT_TRUE(filterBalanceKey(u',', QStringLiteral("2.7")).isNull());
    EXPECT_TRUE(filterBalanceKey(u'.', QStringLiteral("2.7")).isNull());
    EXPECT_TRUE(filterBalanceKey(u' ', QString()).isNull());
    EXPECT_TRUE(filterBalanceKey(u'e', QString()).isNull());
    EXPECT_TRUE(filterBalanceKey(u'-', QString()).isNull());
    EXPECT_EQ(filterBalanceKey(u'\b', QStringLiteral("2.7")), QChar(u'\b'));
}

// The Russian plural forms come from the Russian translation, which the
// test programs install as the program does.
TEST(SetupRules, IntervalWordsFollowRussianPlurals)
{
    auto words = [](const char *item) {
        const RefreshLabels l = refreshIntervalLabels(QString::fromLatin1(item));
        return l.before + QLatin1Char(' ') + l.after;
    };
    EXPECT_EQ(words("1"), QStringLiteral("Каждый час"));
    EXPECT_EQ(words("3"), QStringLiteral("Каждые часа"));
    EXPECT_EQ(words("4"), QStringLiteral("Каждые часа"));
    EXPECT_EQ(words("2"), QStringLiteral("Каждые часа"));
    for (const char *many : {"5", "6", "7", "8", "11", "12", "14", "111"})
        EXPECT_EQ(words(many), QStringLiteral("Каждые часов")) << many;
    for (const char *few : {"22", "23", "24"})
        EXPECT_EQ(words(few), QStringLiteral("Каждые часа")) << few;
    EXPECT_EQ(words("21"), QStringLiteral("Каждый час"));
    EXPECT_EQ(words("abc"), words("3")) << "an item that is no number reads as 3";
    EXPECT_EQ(words(""), words("3"));
}
