#pragma once
// INI files with the semantics of the Windows private-profile service:
// Windows-1251 on disk (UTF-8 when the file starts with a byte order mark), section and key names
// matched without regard to letter case (Cyrillic too), blanks around keys and values ignored,
// integers decimal or "0x" hexadecimal, a missing file reads as empty and is created by the first
// write, every write reaches the disk at once and atomically, comments and unknown lines survive a
// write, section order is file order.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace zelvant {

// Parses a whole text as an integer the way the INI readers do: optional
// sign, then decimal digits or "0x" and hexadecimal digits, nothing else.
// Blanks around the text are allowed. False when out of the int range.
bool parseIniInteger(const QString &text, int *value);

class IniFile
{
public:
    explicit IniFile(const QString &path = QString());
    // The content of a file already read (by a caller that had to check what
    // it opened), for reading only: it has no path and is never read again.
    static IniFile fromBytes(const QByteArray &bytes);

    QString path() const { return m_path; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;
    // Decimal, or hexadecimal with "0x"; anything else gives defaultValue.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer: 0 false, any other true; anything else gives defaultValue.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    QStringList sections() const; // in file order, each name once
    // Changes whenever the content read through this object may have
    // changed (the file was read anew or written), so that a caller can keep
    // what it derives from the content until then.
    quint64 revision() const;
    bool sectionExists(const QString &section) const;
    QStringList keys(const QString &section) const;
    bool keyExists(const QString &section, const QString &key) const;

    // Each write rewrites the file atomically. On failure the old file is
    // intact, false is returned and *error says why (in Russian, for a
    // message box). Refused: text with characters Windows-1251 has no byte
    // for, line breaks, empty names, "]" in a section name, "=" in a key, and
    // any write to a file that exists but cannot be read (it would be
    // replaced by only the keys written). Erasing what is not there writes
    // nothing and succeeds.
    bool writeString(const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);
    bool writeInteger(const QString &section, const QString &key, int value,
                      QString *error = nullptr);
    bool writeBool(const QString &section, const QString &key, bool value,
                   QString *error = nullptr);
    bool eraseSection(const QString &section, QString *error = nullptr);
    bool eraseKey(const QString &section, const QString &key, QString *error = nullptr);

    // Several changes stored by one atomic rewrite: either all of them reach
    // the file or none. They apply in list order, exactly as the single
    // calls above would.
    struct Change
    {
        enum Kind { Write, EraseKey, EraseSection };
        Kind kind = Write;
        QString section;
        QString key;
        QString value;

        static Change write(const QString &section, const QString &key, const QString &value)
        {
            return {Write, section, key, value};
        }
        static Change write(const QString &section, const QString &key, int value)
        {
            return {Write, section, key, QString::number(value)};
        }
        static Change writeBool(const QString &section, const QString &key, bool value)
        {
            return {Write, section, key, value ? QStringLiteral("1") : QStringLiteral("0")};
        }
        static Change eraseKey(const QString &section, const QString &key)
        {
            return {EraseKey, section, key, QString()};
        }
        static Change eraseSection(const QString &section)
        {
            return {EraseSection, section, QString(), QString()};
        }
    };
    bool apply(const QList<Change> &changes, QString *error = nullptr);

    struct Content; // parsed file, private to the implementation

private:
    std::shared_ptr<const Content> load() const;

    QString m_path;
    // Parsed content of the file as last seen, reused while the file's size,
    // modification time and identity stay the same (some keys are read for
    // every received page).
    mutable std::shared_ptr<const Content> m_cache;
    mutable quint64 m_revision = 0;
};

} // namespace zelvant
