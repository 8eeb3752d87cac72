#include "core/config/SetupRules.h"

#include <QCoreApplication>

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
    return firstBlank(
        phones, PhoneProblem::Number,
        QCoreApplication::translate("zelvant::SetupRules", "Не заполнен номер телефона"));
}

PhoneProblem checkPasswords(const PhoneList &phones)
{
    return firstBlank(phones, PhoneProblem::Password,
                      QCoreApplication::translate("zelvant::SetupRules", "Не заполнен пароль"));
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
    // One phrase with the number inside, so each language (and Russian's
    // three plural forms, from the Russian translation) words it whole; the
    // list stands where the number is.
    const QString phrase =
        QCoreApplication::translate("zelvant::SetupRules", "Каждые %n час(ов)", nullptr, n);
    const QString number = QString::number(n);
    const qsizetype at = phrase.indexOf(number);
    if (at < 0)
        return {phrase, QString()};
    return {phrase.left(at).trimmed(), phrase.mid(at + number.size()).trimmed()};
}

} // namespace zelvant
