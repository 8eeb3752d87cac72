#pragma once
// The 100 phone slots and the phone list file "phones.xml".

#include <QByteArray>
#include <QString>

#include <array>

#include "core/AppPaths.h"

namespace zelvant {

inline const QString DefaultShortName = QStringLiteral("МСК");

struct PhoneSlot
{
    QString number;
    // Plain in memory, scrambled in the file; empty in memory for a phone
    // whose password lies in the keyring, except while a cycle or the setup
    // window needs it.
    QString password;
    // The file holds no password for the phone, but the marker
    // PasswordIn="keyring": the keyring has it under the number.
    bool passwordInKeyring = false;
    QString alias;
    bool monitored = false;
    bool trayShown = false;
    QString region = DefaultShortName;
    bool operator==(const PhoneSlot &) const = default;
};

class PhoneList
{
public:
    PhoneSlot &slot(int i) { return m_slots.at(i - 1); }
    const PhoneSlot &slot(int i) const { return m_slots.at(i - 1); }

    void clearSlot(int i);
    // TrayShow is exclusive: on for slot i turns it off everywhere else;
    // slot 0 means "no balance in the tray".
    void setTrayShown(int i);
    int trayShownSlot() const; // 0 when none

    QString numberOf(int i) const { return slot(i).number; }
    QString passwordOf(int i) const { return slot(i).password; }
    QString aliasOf(int i) const { return slot(i).alias; }
    bool isMonitored(int i) const { return slot(i).monitored; }
    bool isTrayShown(int i) const { return slot(i).trayShown; }
    int monitoredCount() const;

    bool operator==(const PhoneList &) const = default;

private:
    std::array<PhoneSlot, PhoneSlotCount> m_slots;
};

// Reads the file into the slots. Any failure gives 100 empty slots, silently;
// *unreadable is set when a file exists but could not be read (so a later
// save keeps it as "phones.xml.bak"). Only "Phone" elements are phones;
// *leftOut is the number of them beyond the 100 slots, which are not read.
void loadPhones(PhoneList &phones, const QString &path, bool *unreadable = nullptr,
                int *leftOut = nullptr);

// The error-log line of a load that left phones out.
QString phonesLeftOutMessage(const QString &path, int leftOut);

// Writes every slot with a number, atomically. A file in place that cannot
// be read as a phone list (checked afresh at each save, so a file repaired by
// hand meanwhile is not backed up) is first kept as path + ".bak" and the
// error log says so. A file with more phones than the slots is kept the
// same way, and *notice (for the user) says how many did not fit. On
// failure the old file is intact and *error says why. Refuses, with the file
// untouched, a password longer than MaxPasswordLength or with characters
// outside Windows-1251 (the scramble could not give it back) and control
// characters that XML cannot carry; other characters outside the code page
// are written as character references. A phone whose password is in the
// keyring gets an empty password and the marker, whatever its length.
// A new file is readable by its owner only.
bool savePhones(const PhoneList &phones, const QString &path, const QString &errorLogFile,
                QString *error = nullptr, QString *notice = nullptr);

// The bytes SavePhones writes: Windows-1251 XML, no whitespace between
// elements, the six attributes of each phone with a number in slot order
// (and PasswordIn="keyring" after the empty password of a keyring phone).
QByteArray phonesDocument(const PhoneList &phones);

} // namespace zelvant
