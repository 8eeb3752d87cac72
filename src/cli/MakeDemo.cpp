// Prepares a demo folder beside a copy of the program: three phones whose
// regions point at the bundled sample pages, so the tray shows balances at
// once without an operator account. Written with the program's own writers.
//
//     ZelvantMakeDemo FOLDER PAGES
//
// PAGES holds 1/orvel-test.html, 2/orvel-test.html and 3/orvel-test.html, or
// is the address ("http://...") of a web server that serves them, as the
// install test's page server does.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

#include "core/AppPaths.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Regions.h"
#include "core/config/Settings.h"

using namespace zelvant;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "ZelvantMakeDemo: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: ZelvantMakeDemo FOLDER PAGES"));
    const QString folder = QFileInfo(args.at(1)).absoluteFilePath();
    const QUrl served(args.at(2));
    const bool isServed =
        served.scheme() == QStringLiteral("http") || served.scheme() == QStringLiteral("https");
    const QString pages = QFileInfo(args.at(2)).absoluteFilePath();
    const AppPaths paths = AppPaths::forFolder(folder);

    struct DemoPhone
    {
        const char *number;
        const char *alias;
        const char *region;
        const char *shortName;
    };
    const DemoPhone demo[] = {
        {"9161234567", "Мой", "Демо 1 (образец страницы)", "ДМ1"},
        {"9037654321", "Дочь", "Демо 2 (образец страницы)", "ДМ2"},
        {"9265550011", "Офис", "Демо 3 (образец страницы)", "ДМ3"},
    };

    IniFile regionFile(paths.regionFile());
    RegionList regions(regionFile);
    PhoneList phones;
    QString error;
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("%1/orvel-test.html").arg(i + 1);
        QString address = served.resolved(QUrl(name)).toString();
        if (!isServed) {
            const QString page = QDir(pages).filePath(name);
            if (!QFileInfo::exists(page))
                return fail(QStringLiteral("missing sample page %1").arg(page));
            address = QUrl::fromLocalFile(page).toString();
        }
        const Region region{QString::fromUtf8(demo[i].region), QString::fromUtf8(demo[i].shortName),
                            address};
        if (!regions.add(region, &error))
            return fail(error);
        PhoneSlot &slot = phones.slot(i + 1);
        slot.number = QString::fromUtf8(demo[i].number);
        slot.password = QStringLiteral("demo");
        slot.alias = QString::fromUtf8(demo[i].alias);
        slot.monitored = true;
        slot.region = region.shortName;
    }
    phones.setTrayShown(1);
    if (!savePhones(phones, paths.phonesFile(), paths.errorLogFile(), &error))
        return fail(error);

    // Balances at once; no autostart entry for a demo.
    Options options;
    options.cbExecAfterRun = true;
    options.cbAutoStart = false;
    options.cbAverage = true;
    options.cbSMS = true;
    IniFile settings(paths.settingsFile());
    if (!saveSettings(settings, options, false, nullptr, &error))
        return fail(error);
    return 0;
}
