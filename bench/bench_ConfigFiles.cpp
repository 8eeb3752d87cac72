// Timing of the configuration files: the per-page read of "SaveLogFiles"
// with and without the parsed-content cache, region look-ups in a large
// "servers.ini" and reading one of 2,000 and 20,000 sections, and a load and
// save of a full phone list.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include "core/TextCodec.h"
#include "core/config/AtomicWrite.h"
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

    // A servers.ini of thousands of sections: reading it (a fresh IniFile,
    // as after the file changed) and then looking regions up. Ten times
    // the sections should cost ten times the reading and the same per look-up.
    for (const int count : {2000, 20000}) {
        QByteArray big;
        for (int i = 0; i < count; ++i)
            big += toWindows1251(QStringLiteral("[Регион %1]\r\nLoginURL=https://r%1.example/\r\n"
                                                "ShortName=Р%1\r\n")
                                     .arg(i));
        const QString bigPath = dir.filePath(QStringLiteral("servers-%1.ini").arg(count));
        writeFileAtomically(bigPath, big);
        const QString last = QStringLiteral("р%1").arg(count - 1);
        const QByteArray readLabel =
            QStringLiteral("Read servers.ini of %1 sections, one look-up").arg(count).toUtf8();
        report(readLabel.constData(), count == 20000 ? 3 : 30, [&] {
            IniFile fresh(bigPath);
            length = RegionList(fresh).loginUrlForShortName(last).size();
        });
        IniFile bigFile(bigPath);
        RegionList bigRegions(bigFile);
        length = bigRegions.loginUrlForShortName(last).size(); // the file is read here
        const QByteArray lookUpLabel =
            QStringLiteral("loginUrlForShortName, last of %1 regions").arg(count).toUtf8();
        report(lookUpLabel.constData(), count == 20000 ? 5 : 50,
               [&] { length = bigRegions.loginUrlForShortName(last).size(); });
    }

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
