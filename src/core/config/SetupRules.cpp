#include "core/config/SetupRules.h"

#include "core/config/PhoneList.h"

namespace zelvant {

namespace {

PhoneProblem firstBlank(const PhoneList &phones, PhoneProblem::Field field, const QString &message)
{
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const PhoneSlot &s = phones.slot(i);
        if (!s.monitored)
            continue;
        const QString &text = field == PhoneProblem::Number ? s.number : s.password;
        if (text.trimmed().isEmpty())
            return {i, field, message};
    }
    return {};
}

} // namespace

PhoneProblem checkNumbers(const PhoneList &phones)
{
    return firstBlank(phones, PhoneProblem::Number, MissingNumberMessage);
}

PhoneProblem checkPasswords(const PhoneList &phones)
{
    return firstBlank(phones, PhoneProblem::Password, MissingPasswordMessage);
}

PhoneProblem checkPhones(const PhoneList &phones)
{
    if (PhoneProblem p = checkNumbers(phones))
        return p;
    return checkPasswords(phones);
}

bool isEditingKey(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 127;
}

bool isPhoneKeyAccepted(QChar c)
{
    return isEditingKey(c) || c == u'+' || c == u'-' || (c >= u'0' && c <= u'9');
}

QChar filterBalanceKey(QChar c, const QString &textKept)
{
    if (isEditingKey(c) || (c >= u'0' && c <= u'9'))
        return c;
    if (c == u',' || c == u'.')
        return textKept.contains(u'.') ? QChar() : QChar(u'.');
    return QChar();
}

bool isTurnOffKeyAccepted(QChar c)
{
    return isEditingKey(c) || (c >= u'0' && c <= u'9');
}

RefreshLabels refreshIntervalLabels(const QString &hoursItem)
{
    bool ok = false;
    int n = hoursItem.trimmed().toInt(&ok);
    if (!ok || n < 0)
        n = 3;
    // The window's own wording: 1 "час", 2 to 4 "часа", any other "часов"
    // (so the offered 24 reads "часов", as it always has).
    if (n == 1)
        return {QStringLiteral("Каждый"), QStringLiteral("час")};
    if (n >= 2 && n <= 4)
        return {QStringLiteral("Каждые"), QStringLiteral("часа")};
    return {QStringLiteral("Каждые"), QStringLiteral("часов")};
}

} // namespace zelvant
