#pragma once
// Regions of the self-service system: the built-in one and those of
// "servers.ini" (section = long name, keys "LoginURL" and "ShortName").

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelvant {

class IniFile;

struct Region
{
    QString longName;
    QString shortName;
    QString loginUrl;
    bool operator==(const Region &) const = default;
};

const Region &defaultRegion();

// Trims; replaces "function=is_newlog" and all after it by "function=is_login".
QString normalizeLoginUrl(const QString &address);

class RegionList
{
public:
    explicit RegionList(IniFile &file);

    // Built-in region first, then sections in file order; case ignored.
    QString loginUrlForShortName(const QString &shortName) const;

    // Default long name first, then the section names sorted without regard
    // to letter case (what the choice dialog lists).
    QStringList listedNames() const;
    // The name the choice dialog pre-selects for a phone's short name.
    QString preselectedName(const QString &shortName) const;
    // The region shown for a listed name (the default region for its name).
    Region region(const QString &longName) const;

    // Add (or overwrite) a section; Edit renames (erasing the old section when
    // the name differs in any way) and writes; Remove erases. False with
    // *error when the file could not be written.
    bool add(const Region &region, QString *error = nullptr);
    bool edit(const QString &oldName, const Region &region, QString *error = nullptr);
    bool remove(const QString &longName, QString *error = nullptr);

private:
    IniFile &m_file;
    // Login address by folded short name, for the file's content as of
    // m_loginUrlsRevision.
    mutable std::optional<QHash<QString, QString>> m_loginUrls;
    mutable quint64 m_loginUrlsRevision = 0;
};

} // namespace zelvant
