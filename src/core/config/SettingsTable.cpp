#include "core/config/SettingsTable.h"

#include <algorithm>
#include <type_traits>

#include "core/config/IniFile.h"

namespace zelvant {

namespace {

constexpr const char *HintWindow = HintWindowSection;
constexpr const char *Mark = MarkSection;
constexpr const char *Connection = "Connection";
constexpr const char *Mqtt = MqttSection;

constexpr Setting flag(const char *section, const char *key, bool byDefault, bool Options::*member)
{
    return {section, key, Setting::Kind::Flag, byDefault ? 1 : 0, nullptr, 0, member};
}

template<typename T>
constexpr Setting choice(const char *section, const char *key, T byDefault, int choices,
                         T Options::*member)
{
    return {section, key, Setting::Kind::Choice, int(byDefault), nullptr, choices, member};
}

constexpr Setting text(Setting::Kind kind, const char *section, const char *key,
                       const char *byDefault, QString Options::*member)
{
    return {section, key, kind, 0, byDefault, 0, member};
}

using enum Setting::Kind;

// The file is written in this order; older files lack the later keys of a
// section, which then take their defaults.
constexpr Setting Table[] = {
    flag(HintWindow, "cbNN", false, &Options::cbNN),
    flag(HintWindow, "cbAlias", true, &Options::cbAlias),
    flag(HintWindow, "cbUserName", true, &Options::cbUserName),
    flag(HintWindow, "cbPhoneNum", true, &Options::cbPhoneNum),
    flag(HintWindow, "cbAverage", false, &Options::cbAverage),
    flag(HintWindow, "cbTurnOff", true, &Options::cbTurnOff),
    flag(HintWindow, "cbRecomend", true, &Options::cbRecomend),
    flag(HintWindow, "cbSMS", false, &Options::cbSMS),
    flag(HintWindow, "cbMin", false, &Options::cbMin),
    flag(HintWindow, "cbJeansBalExpired", false, &Options::cbJeansBalExpired),
    flag(HintWindow, "cbLastQueryTime", true, &Options::cbLastQueryTime),
    flag(HintWindow, "cbFailReason", false, &Options::cbFailReason),
    flag(HintWindow, "cbDailySpend", false, &Options::cbDailySpend),
    choice(HintWindow, "cbTrayIcon", TrayIconStyle::DarkOutlined, TrayIconStyleCount,
           &Options::cbTrayIcon),
    flag(Mark, "cbMarkIfBalance", true, &Options::cbMarkIfBalance),
    flag(Mark, "cbMarkIfTurnOff", true, &Options::cbMarkIfTurnOff),
    text(Decimal, Mark, "edBalanceLessThen", "2.5", &Options::edBalanceLessThen),
    text(WholeNumber, Mark, "edTurnOffLessThen", "2", &Options::edTurnOffLessThen),
    choice(Connection, "cbRefreshTime", DefaultRefreshIndex, RefreshHoursCount,
           &Options::cbRefreshTime),
    flag(Connection, "cbAutoStart", true, &Options::cbAutoStart),
    flag(Connection, "cbExecAfterRun", false, &Options::cbExecAfterRun),
    flag(Connection, "cbHistory", true, &Options::cbHistory),
    flag(Connection, "cbLoadHistory", true, &Options::cbLoadHistory),
    flag(Connection, "cbRetryFailed", true, &Options::cbRetryFailed),
    flag(Connection, "cbNotifyLowBalance", true, &Options::cbNotifyLowBalance),
    flag(Connection, "cbNotifyFailures", true, &Options::cbNotifyFailures),
    flag(Connection, "cbNotifyUnusualSpend", true, &Options::cbNotifyUnusualSpend),
    text(Decimal, Connection, "edSpendFactor", "3", &Options::edSpendFactor),
    text(Decimal, Connection, "edSpendFloor", "30", &Options::edSpendFloor),
    // Off here; loadSettings turns it on for an installed program.
    flag(Connection, "cbKeyring", false, &Options::cbKeyring),
    // The broker the results are published to; its password is kept apart,
    // where the phones' passwords are (core/mqtt/MqttSettings).
    flag(Mqtt, "cbMqttEnabled", false, &Options::cbMqttEnabled),
    text(Text, Mqtt, "edMqttHost", "", &Options::edMqttHost),
    text(WholeNumber, Mqtt, "edMqttPort", "1883", &Options::edMqttPort),
    flag(Mqtt, "cbMqttTls", false, &Options::cbMqttTls),
    text(Text, Mqtt, "edMqttCaFile", "", &Options::edMqttCaFile),
    text(Text, Mqtt, "edMqttUser", "", &Options::edMqttUser),
    text(Text, Mqtt, "edMqttPrefix", "zelvant", &Options::edMqttPrefix),
    flag(Mqtt, "cbMqttDiscovery", true, &Options::cbMqttDiscovery),
};

bool allows(const Setting &s, const QString &text)
{
    int number = 0;
    switch (s.kind) {
    case Flag:
        return parseIniInteger(text, &number);
    case Choice:
        // A hand-edited index outside the list: the default is safer than a
        // timer of zero or of days, or a style that does not exist.
        return parseIniInteger(text, &number) && number >= 0 && number < s.choices;
    case Decimal:
        return parseDecimal(text, nullptr);
    case WholeNumber:
        return parseWholeNumber(text, nullptr);
    case Text:
        // A missing key reads as empty: the default (a topic prefix, say)
        // rather than nothing.
        return !text.isEmpty();
    }
    return false;
}

} // namespace

QString Setting::defaultText() const
{
    return defaultString ? QString::fromLatin1(defaultString) : QString::number(defaultNumber);
}

QString Setting::text(const Options &options) const
{
    return std::visit(
        [&]<typename T>(T Options::*m) {
            if constexpr (std::is_same_v<T, QString>)
                return options.*m;
            else
                return QString::number(int(options.*m));
        },
        member);
}

void Setting::setText(Options &options, const QString &text) const
{
    const QString allowed = allows(*this, text) ? text : defaultText();
    int number = 0;
    parseIniInteger(allowed, &number);
    std::visit(
        [&]<typename T>(T Options::*m) {
            if constexpr (std::is_same_v<T, QString>)
                options.*m = allowed;
            else
                options.*m = T(number);
        },
        member);
}

std::span<const Setting> settingsTable()
{
    return Table;
}

bool settingsDiffer(const char *section, const Options &a, const Options &b)
{
    return std::ranges::any_of(Table, [&](const Setting &s) {
        return qstrcmp(s.section, section) == 0 && s.text(a) != s.text(b);
    });
}

} // namespace zelvant
