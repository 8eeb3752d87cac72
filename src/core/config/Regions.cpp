#include "core/config/Regions.h"

#include <QCoreApplication>

#include <algorithm>

#include "core/AppPaths.h"
#include "core/TextCodec.h"
#include "core/config/IniFile.h"

namespace zelvant {

namespace {

const QString LoginUrlKey = QStringLiteral("LoginURL");
const QString ShortNameKey = QStringLiteral("ShortName");

bool sameText(const QString &a, const QString &b)
{
    return lowerWindows1251(a) == lowerWindows1251(b);
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

const Region &defaultRegion()
{
    static const Region region{QStringLiteral("Orvel - Москва"), QStringLiteral("МСК"),
                               DefaultLoginUrl};
    return region;
}

QString normalizeLoginUrl(const QString &address)
{
    const QString trimmed = address.trimmed();
    const QString oldLogin = QStringLiteral("function=is_newlog");
    const qsizetype at = trimmed.indexOf(oldLogin); // exact letter case
    if (at < 0)
        return trimmed;
    return trimmed.left(at) + QStringLiteral("function=is_login");
}

RegionList::RegionList(IniFile &file)
    : m_file(file)
{
}

QString RegionList::loginUrlForShortName(const QString &shortName) const
{
    // An empty short name (a phone whose file entry had no region) names no
    // region, even if a hand-made section lacks its ShortName key.
    if (shortName.isEmpty())
        return QString();
    if (sameText(shortName, defaultRegion().shortName))
        return defaultRegion().loginUrl;
    // Asked for every slot of every cycle: answered from a table made once
    // per read of the file.
    const quint64 revision = m_file.revision();
    if (!m_loginUrls || m_loginUrlsRevision != revision) {
        QHash<QString, QString> urls;
        const QStringList sections = m_file.sections();
        for (const QString &section : sections) {
            // The first section in file order wins.
            const QString key =
                lowerWindows1251(m_file.readString(section, ShortNameKey, QString()));
            if (!urls.contains(key))
                urls.insert(key, m_file.readString(section, LoginUrlKey, QString()));
        }
        m_loginUrls = std::move(urls);
        m_loginUrlsRevision = revision;
    }
    return m_loginUrls->value(lowerWindows1251(shortName));
}

namespace {

QStringList sortedSections(const IniFile &file)
{
    QStringList names = file.sections();
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return lowerWindows1251(a) < lowerWindows1251(b);
    });
    return names;
}

} // namespace

QStringList RegionList::listedNames() const
{
    QStringList names{defaultRegion().longName};
    names += sortedSections(m_file);
    return names;
}

QString RegionList::preselectedName(const QString &shortName) const
{
    if (!shortName.isEmpty()) {
        const QStringList names = sortedSections(m_file);
        for (const QString &name : names) {
            if (sameText(m_file.readString(name, ShortNameKey, QString()), shortName))
                return name;
        }
    }
    return defaultRegion().longName;
}

Region RegionList::region(const QString &longName) const
{
    if (sameText(longName, defaultRegion().longName))
        return defaultRegion();
    Region r;
    r.longName = longName;
    const QStringList sections = m_file.sections();
    for (const QString &section : sections) {
        if (sameText(section, longName.trimmed())) {
            r.longName = section;
            break;
        }
    }
    r.shortName = m_file.readString(longName, ShortNameKey, QString());
    r.loginUrl = m_file.readString(longName, LoginUrlKey, QString());
    return r;
}

namespace {

bool checkRegion(const Region &region, QString *error)
{
    if (region.longName.trimmed().isEmpty() || region.shortName.trimmed().isEmpty()
        || region.loginUrl.trimmed().isEmpty())
        return fail(error, QCoreApplication::translate("zelvant::RegionList",
                                                       "Все поля должны быть заполнены !"));
    // A section of the built-in region's name would be listed but could
    // never be shown, edited or removed.
    if (sameText(region.longName.trimmed(), defaultRegion().longName))
        return fail(error, QCoreApplication::translate(
                               "zelvant::RegionList",
                               "Название \"%1\" занято встроенным регионом; выберите "
                               "другое название.")
                               .arg(defaultRegion().longName));
    return true;
}

QList<IniFile::Change> regionChanges(const Region &region)
{
    return {
        IniFile::Change::write(region.longName, LoginUrlKey, normalizeLoginUrl(region.loginUrl)),
        IniFile::Change::write(region.longName, ShortNameKey, region.shortName)};
}

} // namespace

bool RegionList::add(const Region &region, QString *error)
{
    if (!checkRegion(region, error))
        return false;
    return m_file.apply(regionChanges(region), error);
}

bool RegionList::edit(const QString &oldName, const Region &region, QString *error)
{
    if (!checkRegion(region, error))
        return false;
    QList<IniFile::Change> changes;
    // Any difference, letter case included, renames: the old section goes
    // and the keys move to the new name (overwriting a region of that name).
    if (oldName != region.longName)
        changes.append(IniFile::Change::eraseSection(oldName));
    changes += regionChanges(region);
    return m_file.apply(changes, error);
}

bool RegionList::remove(const QString &longName, QString *error)
{
    if (sameText(longName, defaultRegion().longName))
        return fail(error, QCoreApplication::translate("zelvant::RegionList",
                                                       "Встроенный регион нельзя удалить."));
    return m_file.eraseSection(longName, error);
}

} // namespace zelvant
