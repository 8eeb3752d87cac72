#include "core/config/SetupRules.h"

#include "core/config/PhoneList.h"

namespace zelvant {

namespace {

PhoneProblem FirstBlank(const PhoneList &phones, PhoneProblem::Field field,
                        const QString &message)
{
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const PhoneSlot &s = phones.slot(i);
        if (!s.Monitor)
            continue;
        const QString &text = field == PhoneProblem::Number ? s.Number : s.Password;
        if (text.trimmed().isEmpty())
            return {i, field, message};
    }
    return {};
}

} // namespace

PhoneProblem CheckNumbers(const PhoneList &phones)
{
    return FirstBlank(phones, PhoneProblem::Number, MissingNumberMessage);
}

PhoneProblem CheckPasswords(const PhoneList &phones)
{
    return FirstBlank(phones, PhoneProblem::Password, MissingPasswordMessage);
}

PhoneProblem CheckPhones(const PhoneList &phones)
{
    if (PhoneProblem p = CheckNumbers(phones))
        return p;
    return CheckPasswords(phones);
}

bool IsEditingKey(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 127;
}

bool IsPhoneKeyAccepted(QChar c)
{
    return IsEditingKey(c) || c == u'+' || c == u'-' || (c >= u'0' && c <= u'9');
}

QChar FilterBalanceKey(QChar c, const QString &textKept)
{
    if (IsEditingKey(c) || (c >= u'0' && c <= u'9'))
        return c;
    if (c == u',' || c == u'.')
        return textKept.contains(u'.') ? QChar() : QChar(u'.');
    return QChar();
}

bool IsTurnOffKeyAccepted(QChar c)
{
    return IsEditingKey(c) || (c >= u'0' && c <= u'9');
}

RefreshLabels RefreshIntervalLabels(const QString &hoursItem)
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
