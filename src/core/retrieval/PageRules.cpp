#include "core/retrieval/PageRules.h"

namespace zelvant {

namespace {

PageStep step(const char *key, StepRuns runs, ValueLine line, LineCase lineCase, const char *prefix,
              const char *end, Conversion convert, PageField field)
{
    return {QString::fromUtf8(key), runs,    line, lineCase, QString::fromUtf8(prefix),
            QString::fromUtf8(end), convert, field};
}

PageRules makeBuiltIn()
{
    using enum StepRuns;
    using enum ValueLine;
    using enum LineCase;
    using enum Conversion;
    using F = PageField;
    PageRules rules;
    rules.marker = QStringLiteral("туальный баланс");
    rules.steps = {
        step("пользователь:", Always, Next, Page, "", "", Text, F::UserName),
        step("номер телефона:", Always, Next, Lower, "", "", Text, F::PhoneNum),
        step("внутренний курс на сегодня", Always, Next, Lower, "", " ", Float, F::USDRate),
        step("актуальный баланс", Always, Next, Lower, "", " ", Float, F::Balance),
        step("средняя скорость расходования", Always, Next, Lower, "", " ", Float, F::Average),
        step("предположительная дата отключения", Always, Next, Lower, "", " ", Integer,
             F::TurnOff),
        // Fires on the phrase alone but removes it with its trailing blank:
        // an amount in its own markup after the phrase is therefore lost.
        step("предоплаты составляет", Always, Same, Lower, "предоплаты составляет ", " ", Float,
             F::Recomend),
        step("рек.опл:", WhileZero, Same, Lower, "рек.опл: ", " ", Float, F::Recomend),
        step("sms составляет ", Always, Same, Lower, "sms составляет ", " ", Integer, F::SMS),
        step("смс составляет ", WhileZero, Same, Lower, "смс составляет ", " ", Integer, F::SMS),
        step("локальная связь составляет ", Always, Same, Lower, "локальная связь составляет ", " ",
             Integer, F::Min),
        step("разговоров типа составляет ", WhileZero, Same, Lower, "разговоров типа составляет ",
             " ", Integer, F::Min),
        step("локальная связь составляет :", WhileZero, Same, Lower,
             "локальная связь составляет :", ":", Integer, F::Min),
        // A time "hh:mm:ss": the minutes behind "00:" or "01:".
        step("разговоров типа составляет 00:", WhileZero, Same, Lower,
             "разговоров типа составляет 00:", ":", Integer, F::Min),
        step("разговоров типа составляет 01:", WhileZero, Same, Lower,
             "разговоров типа составляет 01:", ":", Minutes, F::Min),
        step("истекает менее чем через ", Always, Same, Lower, "истекает менее чем через ", " ",
             Integer, F::BalExpired),
        step("вашего лицевого счета равен ", WhileZero, Same, Lower, "вашего лицевого счета равен ",
             " ", Float, F::Balance),
        step("ожидается менее, чем через ", WhileZero, Same, Lower, "ожидается менее, чем через ",
             " ", Integer, F::TurnOff),
    };
    return rules;
}

} // namespace

const PageRules &PageRules::builtIn()
{
    static const PageRules rules = makeBuiltIn();
    return rules;
}

QString pageFieldName(PageField field)
{
    switch (field) {
    case PageField::UserName:
        return QStringLiteral("UserName");
    case PageField::PhoneNum:
        return QStringLiteral("PhoneNum");
    case PageField::Balance:
        return QStringLiteral("Balance");
    case PageField::Average:
        return QStringLiteral("Average");
    case PageField::TurnOff:
        return QStringLiteral("TurnOff");
    case PageField::Recomend:
        return QStringLiteral("Recomend");
    case PageField::SMS:
        return QStringLiteral("SMS");
    case PageField::Min:
        return QStringLiteral("Min");
    case PageField::BalExpired:
        return QStringLiteral("BalExpired");
    case PageField::USDRate:
        return QStringLiteral("USDRate");
    }
    return QString();
}

} // namespace zelvant
