#pragma once
// Rules of the setup window that need no widgets: validation of the phone
// rows before a save, the key filters of its edit fields and the wording of
// the refresh interval.

#include <QChar>
#include <QString>

namespace zelvant {

class PhoneList;

// The slot and field that stop a save, with the message the user sees.
struct PhoneProblem
{
    enum Field { None, Number, Password };
    int slot = 0; // 1..PhoneSlotCount, 0 when there is no problem
    Field field = None;
    QString message;
    explicit operator bool() const { return field != None; }
};

// First monitored slot whose number is blank after trimming.
PhoneProblem checkNumbers(const PhoneList &phones);
// First monitored slot whose password is blank after trimming.
PhoneProblem checkPasswords(const PhoneList &phones);
// Every number is checked before any password, so the user fixes the rows
// in the order they are reported.
PhoneProblem checkPhones(const PhoneList &phones);

// Characters below a blank (Backspace, the clipboard shortcuts) and DEL are
// editing keys and always pass.
bool isEditingKey(QChar c);
// Number and password fields: digits, "+" and "-".
bool isPhoneKeyAccepted(QChar c);
// Balance threshold: what a typed character becomes, or a null QChar when it
// is dropped. "," becomes "." so the value stays readable whatever the
// desktop's locale; a second decimal point is dropped. textKept is the field's
// text without the part the key press will replace.
QChar filterBalanceKey(QChar c, const QString &textKept);
// Turn-off threshold: whole days, digits only.
bool isTurnOffKeyAccepted(QChar c);

// The words around the interval list, by the plural of the interface's
// language: "Каждый" 1 "час", "Каждые" 24 "часа", "Каждые" 5 "часов" (3 when
// the item is not a number).
struct RefreshLabels
{
    QString before;
    QString after;
};
RefreshLabels refreshIntervalLabels(const QString &hoursItem);

} // namespace zelvant
