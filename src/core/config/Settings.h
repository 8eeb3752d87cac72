#pragma once
// The options of the settings file (named after the executable, ".ini").
// Each field's section, key, default and allowed values are in the settings
// table (core/config/SettingsTable); the running program holds them in
// LiveOptions, and the setup window edits a copy.

#include <QString>

#include "core/AppPaths.h"
#include "core/config/TrayIconStyle.h"

namespace zelvant {

class IniFile;
class AutoStart;

// The refresh intervals offered, in hours; cbRefreshTime is an index.
inline constexpr int RefreshHours[] = {3, 4, 5, 6, 7, 8, 12, 24};
inline constexpr int RefreshHoursCount = 8;
inline constexpr int DefaultRefreshIndex = 2;

struct Options
{
    Options(); // every field at its default from the settings table

    // "Hint Window": columns of the phones window.
    bool cbNN{};
    bool cbAlias{};
    bool cbUserName{};
    bool cbPhoneNum{};
    bool cbAverage{};
    bool cbTurnOff{};
    bool cbRecomend{};
    bool cbSMS{};
    bool cbMin{};
    bool cbJeansBalExpired{};
    bool cbLastQueryTime{};
    bool cbFailReason{}; // "Причина": why a phone has no fresh balance
    bool cbDailySpend{}; // "Расход в день": the usual daily spend from the history
    // The tray icon's colours ("Значок в трее:"), on the same page.
    TrayIconStyle cbTrayIcon{};
    // "Mark"
    bool cbMarkIfBalance{};
    bool cbMarkIfTurnOff{};
    QString edBalanceLessThen;
    QString edTurnOffLessThen;
    // "Connection"
    int cbRefreshTime{};
    bool cbAutoStart{};
    bool cbExecAfterRun{};
    bool cbHistory{};
    bool cbLoadHistory{};
    bool cbRetryFailed{}; // "Повторять неудачные запросы автоматически"
    bool cbNotifyLowBalance{};   // "Оповещать о низком балансе"
    bool cbNotifyFailures{};     // "Оповещать о сбоях запросов"
    bool cbNotifyUnusualSpend{}; // "Оповещать о необычных списаниях"
    QString edSpendFactor;       // how many times the usual daily spend is unusual
    QString edSpendFloor;        // the least daily spend that is unusual, у.е.
    bool cbKeyring{};            // "Хранить пароли в связке ключей"
    // "MQTT": the broker the results are published to (off by default).
    bool cbMqttEnabled{};
    QString edMqttHost;
    QString edMqttPort;
    bool cbMqttTls{};
    QString edMqttCaFile; // empty: the system's certificate authorities
    QString edMqttUser;
    QString edMqttPrefix;
    bool cbMqttDiscovery{}; // Home Assistant's discovery configs

    // The refresh timer's interval: the hours of the chosen entry, those of
    // the default entry for an index outside the list.
    qint64 refreshIntervalMs() const;
    double balanceThreshold() const; // edBalanceLessThen, "." separator
    int turnOffThreshold() const;    // edTurnOffLessThen
    bool operator==(const Options &) const = default;
};

// Size and position of a window, NotFoundSentinel for an absent key.
struct WindowPlacement
{
    int width = NotFoundSentinel;
    int height = NotFoundSentinel;
    int left = NotFoundSentinel;
    int top = NotFoundSentinel;
};

// A decimal number with "." as separator whatever the locale (no group
// separators); -230973 counts as not a number. *value may be null.
bool parseDecimal(const QString &text, double *value);
// An integer, decimal or "0x" hexadecimal; -230973 counts as not a number.
bool parseWholeNumber(const QString &text, int *value);

// Each setting from the file; a missing key, or a text that is no allowed
// value, gives its default. Installed, the passwords go to the keyring unless
// the file says otherwise; a portable folder keeps them in its phone list, so
// that it still works when copied to another computer.
Options loadSettings(const IniFile &settings, FileMode mode = FileMode::Portable);
// True when the file says where the passwords go (cbKeyring is no default).
bool keyringChosen(const IniFile &settings);

// Writes the options in the table's order, applies the autostart choice
// (autoStart may be null in tests), writes rbTray=-1 to "Phones" when no
// phone is shown in the tray, and rewrites "SaveLogFiles". Returns false with
// *error when a write failed.
bool saveSettings(IniFile &settings, const Options &options, bool trayNotShown,
                  AutoStart *autoStart, QString *error = nullptr);

// "Debug"/"SaveLogFiles", read afresh each time.
bool saveLogFilesEnabled(const IniFile &settings);

// The two fields of the history window kept in "History Form", as typed.
struct HistoryFormFields
{
    QString edLastRequest = QStringLiteral("50");
    QString edLastDays = QStringLiteral("2");
    bool operator==(const HistoryFormFields &) const = default;
};

// Reads the fields; a text that is not a decimal number gives its default.
HistoryFormFields readHistoryFormFields(const IniFile &settings);
// Stores the fields, then the placement's fields that are not
// NotFoundSentinel, in one atomic write of "History Form".
bool writeHistoryForm(IniFile &settings, const HistoryFormFields &fields,
                      const WindowPlacement &placement, QString *error = nullptr);

WindowPlacement readWindowPlacement(const IniFile &settings, const QString &section);
bool writeWindowPlacement(IniFile &settings, const QString &section, const WindowPlacement &p,
                          QString *error = nullptr);

} // namespace zelvant
