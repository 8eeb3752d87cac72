#pragma once
// INI files with the semantics of the Windows private-profile service:
// Windows-1251 on disk, section and key names matched without regard to
// letter case (Cyrillic too), blanks around keys and values ignored, integers
// decimal or "0x" hexadecimal, a missing file reads as empty and is created
// by the first write, every write reaches the disk at once and atomically,
// comments and unknown lines survive a write, section order is file order.

#include <QString>
#include <QStringList>

namespace zelvant {

class IniFile
{
public:
    explicit IniFile(const QString &path = QString());

    QString path() const { return m_path; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;
    // Decimal, or hexadecimal with "0x"; anything else gives defaultValue.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer: 0 false, any other true; anything else gives defaultValue.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    QStringList sections() const; // in file order
    bool sectionExists(const QString &section) const;
    QStringList keys(const QString &section) const;

    // Each write rewrites the file atomically. On failure the old file is
    // intact, false is returned and *error says why.
    bool writeString(const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);
    bool writeInteger(const QString &section, const QString &key, int value,
                      QString *error = nullptr);
    bool writeBool(const QString &section, const QString &key, bool value,
                   QString *error = nullptr);
    bool eraseSection(const QString &section, QString *error = nullptr);
    bool eraseKey(const QString &section, const QString &key, QString *error = nullptr);

private:
    QString m_path;
};

} // namespace zelvant
