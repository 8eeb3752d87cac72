#pragma once
// The rules by which a balance page is read: the marker that makes a page a
// balance page, and the steps of the line scan (a key phrase, when it runs,
// where its value stands, how the value is cut out and converted, which field
// it fills). The program has them built in; PageRulesFile reads a user's own.

#include <QList>
#include <QString>

namespace zelvant {

// The result fields a page can fill, in the order the outputs list them.
enum class PageField {
    UserName,
    PhoneNum,
    Balance,
    Average,
    TurnOff,
    Recomend,
    SMS,
    Min,
    BalExpired,
    USDRate
};
constexpr int PageFieldCount = 10;

enum class StepRuns { Always, WhileZero }; // WhileZero: only while the field holds 0 or ""
enum class ValueLine { Next, Same };       // the line after the key line, or the key line
enum class LineCase { Page, Lower };       // the value line as the page has it, or lowered
enum class Conversion { Text, Float, Integer, Minutes }; // Minutes: integer, 60 added unless 0

struct PageStep
{
    QString key; // lower case: it is looked for in the lowered lines
    StepRuns runs = StepRuns::Always;
    ValueLine valueLine = ValueLine::Next;
    LineCase lineCase = LineCase::Lower;
    QString prefix; // removed up to its end; lower case when lineCase is Lower
    QString end;    // the value ends before it
    Conversion convert = Conversion::Text;
    PageField field = PageField::UserName;

    bool operator==(const PageStep &) const = default;
};

struct PageRules
{
    QString marker; // a page holding it (exact text) is a balance page
    QList<PageStep> steps;

    bool operator==(const PageRules &) const = default;

    // The marker and the eighteen steps the program has always read pages by.
    static const PageRules &builtIn();
};

constexpr int MaxPageSteps = 100;

// The field's name as the JSON output and the rules file write it.
QString pageFieldName(PageField field);

} // namespace zelvant
