#pragma once
// Reads one digit of a decimal or hexadecimal number, as the INI files
// ("0x1F"), the password scramble and the pages' character references
// ("&#x44F;") write them.

#include <QChar>

namespace zelvant {

// The value of c as a digit of base 10 or 16 (letters in either case), -1
// when it is none.
constexpr int digitValue(QChar c, int base = 16)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

} // namespace zelvant
