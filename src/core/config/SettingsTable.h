#pragma once
// Every setting of the settings file described once: its section and key
// (the key is also the object name of its control in the setup window), its
// kind, its default and the values it allows. Loading, saving, the defaults
// of Options and the setup window's controls all read this table; a new
// setting is a field of Options, one row here and its control.

#include <QString>

#include <span>
#include <variant>

#include "core/config/Settings.h"

namespace zelvant {

struct Setting
{
    enum class Kind {
        Flag,        // an integer: 0 off, any other on; written "1" or "0"
        Choice,      // an item of a list: 0 .. choices - 1
        Decimal,     // text that parseDecimal reads
        WholeNumber, // text that parseWholeNumber reads
        Text,        // any text but an empty one
    };

    const char *section;
    const char *key;
    Kind kind;
    int defaultNumber;         // Flag (0 or 1) and Choice
    const char *defaultString; // Decimal and WholeNumber
    int choices;               // Choice
    std::variant<bool Options::*, int Options::*, TrayIconStyle Options::*, QString Options::*>
        member;

    QString sectionName() const { return QLatin1String(section); }
    QString keyName() const { return QLatin1String(key); }
    QString defaultText() const;

    // The value as the file holds it.
    QString text(const Options &options) const;
    // Sets the value the text stands for; a text that is no value this
    // setting allows (a word, an index outside the list, an empty text)
    // gives the default.
    void setText(Options &options, const QString &text) const;
};

// Every setting, in the order the settings file lists them.
std::span<const Setting> settingsTable();

// Two of the sections the table fills: what the phones window shows.
inline constexpr const char *HintWindowSection = "Hint Window"; // columns (and the tray icon)
inline constexpr const char *MarkSection = "Mark";              // what it marks
inline constexpr const char *MqttSection = "MQTT";              // the broker

// True when a setting of the section has another value in a than in b.
bool settingsDiffer(const char *section, const Options &a, const Options &b);

} // namespace zelvant
