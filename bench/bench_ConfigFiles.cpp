// Timing of the configuration files: the per-page read of "SaveLogFiles"
// with and without the parsed-content cache, region look-ups in a large
// "servers.ini", and a load and save of a full phone list.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Regions.h"
#include "core/config/Settings.h"

using namespace zelvant;

namespace {

void report(const char *what, int runs, const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work();
    const double us = double(timer.nsecsElapsed()) / 1000.0 / runs;
    std::printf("%-52s %10.2f us per call (%d calls)\n", what, us, runs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    IniFile settings(dir.filePath(QStringLiteral("Zelvant.ini")));
    saveSettings(settings, Options(), true, nullptr);
    writeWindowPlacement(settings, QStringLiteral("PhonesInfo Form"), {800, 600, 10, 10});

    volatile bool sink = false;
    report("SaveLogFiles, cached (same IniFile)", 20000,
           [&] { sink = saveLogFilesEnabled(settings); });
    report("SaveLogFiles, uncached (fresh IniFile each time)", 20000, [&] {
        const IniFile fresh(settings.path());
        sink = saveLogFilesEnabled(fresh);
    });
    report("LoadSettings, cached", 5000, [&] { sink = loadSettings(settings).cbHistory; });

    IniFile servers(dir.filePath(QStringLiteral("servers.ini")));
    QList<IniFile::Change> changes;
    for (int i = 0; i < 200; ++i) {
        changes.append(IniFile::Change::write(QStringLiteral("Регион %1").arg(i),
                                              QStringLiteral("LoginURL"),
                                              QStringLiteral("https://r%1.example/").arg(i)));
        changes.append(IniFile::Change::write(QStringLiteral("Регион %1").arg(i),
                                              QStringLiteral("ShortName"),
                                              QStringLiteral("Р%1").arg(i)));
    }
    servers.apply(changes);
    RegionList regions(servers);
    volatile qsizetype length = 0;
    report("LoginUrlForShortName, last of 200 regions", 2000,
           [&] { length = regions.loginUrlForShortName(QStringLiteral("р199")).size(); });
    report("Two one-key writes into 200 regions", 200, [&] {
        servers.writeString(QStringLiteral("Регион 100"), QStringLiteral("ShortName"),
                            QStringLiteral("Р100"));
        servers.writeString(QStringLiteral("Регион 100"), QStringLiteral("ShortName"),
                            QStringLiteral("X"));
    });

    PhoneList phones;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        phones.slot(i).number = QStringLiteral("+7903%1").arg(i, 7, 10, QLatin1Char('0'));
        phones.slot(i).password = QStringLiteral("123456");
        phones.slot(i).alias = QStringLiteral("Телефон %1").arg(i);
        phones.slot(i).monitored = true;
    }
    const QString phonesPath = dir.filePath(QStringLiteral("phones.xml"));
    const QString log = dir.filePath(QStringLiteral("Zelvant.err"));
    report("SavePhones, 100 phones", 200, [&] { savePhones(phones, phonesPath, log); });
    PhoneList loaded;
    report("LoadPhones, 100 phones", 200, [&] { loadPhones(loaded, phonesPath); });
    return loaded.monitoredCount() == PhoneSlotCount && !sink && length > 0 ? 0 : 1;
}
