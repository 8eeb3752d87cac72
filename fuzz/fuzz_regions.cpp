// The region list of "servers.ini": look-ups agree with a plain search of
// the sections in file order, the choice list is sorted and complete, and
// adding, editing and removing a region is seen at once. Input: file bytes,
// NUL, long name, NUL, short name, NUL, login address (UTF-8).

#include <QFile>

#include "FuzzCheck.h"
#include "core/TextCodec.h"
#include "core/config/IniFile.h"
#include "core/config/Regions.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

// The first section in file order whose short name matches, read key by key.
QString plainLookUp(const IniFile &file, const QString &shortName)
{
    if (shortName.isEmpty())
        return QString();
    if (lowerWindows1251(shortName) == lowerWindows1251(defaultRegion().shortName))
        return defaultRegion().loginUrl;
    const QStringList sections = file.sections();
    for (const QString &section : sections) {
        if (lowerWindows1251(file.readString(section, QStringLiteral("ShortName"), QString()))
            == lowerWindows1251(shortName))
            return file.readString(section, QStringLiteral("LoginURL"), QString());
    }
    return QString();
}

void checkAgainstPlainSearch(const IniFile &file, const RegionList &regions)
{
    const QStringList sections = file.sections();
    for (const QString &section : sections) {
        const QString shortName = file.readString(section, QStringLiteral("ShortName"), QString());
        FUZZ_CHECK(regions.loginUrlForShortName(shortName) == plainLookUp(file, shortName));
    }
    const QStringList listed = regions.listedNames();
    FUZZ_CHECK(listed.size() == sections.size() + 1);
    FUZZ_CHECK(listed.first() == defaultRegion().longName);
    for (qsizetype i = 2; i < listed.size(); ++i)
        FUZZ_CHECK(!(lowerWindows1251(listed[i]) < lowerWindows1251(listed[i - 1])));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> input = pieces(bytesOf(data, size), 4);
    const QString path = scratchFolder() + QStringLiteral("/servers.ini");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(input[0]) == input[0].size());
    }
    IniFile file(path);
    RegionList regions(file);
    checkAgainstPlainSearch(file, regions);

    const Region entered{QString::fromUtf8(input[1]), QString::fromUtf8(input[2]),
                         QString::fromUtf8(input[3])};
    FUZZ_CHECK(normalizeLoginUrl(normalizeLoginUrl(entered.loginUrl))
               == normalizeLoginUrl(entered.loginUrl));
    QString error;
    if (regions.add(entered, &error)) {
        const Region shown = regions.region(entered.longName);
        FUZZ_CHECK(shown.shortName == entered.shortName.trimmed());
        FUZZ_CHECK(shown.loginUrl == normalizeLoginUrl(entered.loginUrl));
        checkAgainstPlainSearch(file, regions);
        FUZZ_CHECK(regions.remove(entered.longName, &error));
        FUZZ_CHECK(!file.sectionExists(entered.longName));
        checkAgainstPlainSearch(file, regions);
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }
    return 0;
}
