#pragma once
// A phone's results as the command-line modes print them: JSON objects and
// "Field: value" lines, numbers rounded as the windows show them (two
// decimals, four for the USD rate) and always with '.' as separator.

#include <QJsonObject>
#include <QString>

#include "core/PhoneResult.h"
#include "core/PhoneResultJson.h"

namespace zelvant {

// text with every control character and line or paragraph separator made a
// blank: text from a page or a hand-edited file printed to a terminal could
// otherwise re-title it, ring, move the cursor or start a line of its own.
QString blankControls(QString text);

// The fields a page gives, one "Field: value" line each (with '\n'), control
// characters blanked.
QString phoneResultFieldsText(const PhoneResult &record);

} // namespace zelvant
