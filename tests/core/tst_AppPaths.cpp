// File locations (installed or portable, folders made at the first write),
// error log, phone records, codec, single-instance lock.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <thread>
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "core/AppPaths.h"
#include "core/ErrorLog.h"
#include "core/PhoneResult.h"
#include "core/SingleInstance.h"
#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/config/AtomicWrite.h"
#include "core/history/HistoryStore.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

TEST(AppPaths, FilesLieBesideTheExecutableAndSettingsFollowItsName)
{
    const AppPaths paths(QStringLiteral("/opt/z/bin/Zelvant"));
    EXPECT_EQ(paths.executableDir(), QStringLiteral("/opt/z/bin/"));
    EXPECT_EQ(paths.settingsFile(), QStringLiteral("/opt/z/bin/Zelvant.ini"));
    EXPECT_EQ(paths.errorLogFile(), QStringLiteral("/opt/z/bin/Zelvant.err"));
    EXPECT_EQ(paths.phonesFile(), QStringLiteral("/opt/z/bin/phones.xml"));
    EXPECT_EQ(paths.regionFile(), QStringLiteral("/opt/z/bin/servers.ini"));
    EXPECT_EQ(paths.historyFile(), QStringLiteral("/opt/z/bin/Zelvant.mdb"));

    // A renamed executable takes its settings file name with it; the others keep theirs.
    const AppPaths renamed(QStringLiteral("/tools/Balance.exe"));
    EXPECT_EQ(renamed.settingsFile(), QStringLiteral("/tools/Balance.ini"));
    EXPECT_EQ(renamed.phonesFile(), QStringLiteral("/tools/phones.xml"));
    EXPECT_EQ(renamed.errorLogFile(), QStringLiteral("/tools/Zelvant.err"));
}

namespace {

enum class Place { BinDir, BinDirThroughLink, OtherFolder };
enum class Xdg { Unset, Absolute, Relative };

struct PathsCase
{
    const char *name;
    Place place;
    Xdg xdg;
    bool portableMarker;
    bool readOnlyFolder;
    bool installFolderKnown; // false: a build that is never installed (Windows)
    FileMode expected;
};

void PrintTo(const PathsCase &c, std::ostream *os)
{
    *os << c.name;
}

class PathsDecision : public ::testing::TestWithParam<PathsCase>
{};

QString folderIn(const TempFolder &temp, const char *name)
{
    return temp.file(QLatin1String(name)) + QLatin1Char('/');
}

} // namespace

TEST_P(PathsDecision, ModeAndFolders)
{
    const PathsCase &c = GetParam();
    TempFolder temp;
    QDir(temp.path()).mkpath(QStringLiteral("usr/bin"));
    QDir(temp.path()).mkpath(QStringLiteral("opt/zelvant"));
    QFile::link(temp.file(QStringLiteral("usr/bin")), temp.file(QStringLiteral("bin")));
    const QString folder =
        temp.file(c.place == Place::BinDir              ? QStringLiteral("usr/bin")
                  : c.place == Place::BinDirThroughLink ? QStringLiteral("bin")
                                                        : QStringLiteral("opt/zelvant"));
    if (c.portableMarker)
        temp.write(QStringLiteral("usr/bin/portable"), QByteArray());
    if (c.readOnlyFolder)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);

    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), temp.file(QStringLiteral("home")));
    if (c.xdg != Xdg::Unset) {
        const QString base =
            c.xdg == Xdg::Absolute ? temp.path() + QLatin1Char('/') : QStringLiteral("relative/");
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), base + QStringLiteral("config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), base + QStringLiteral("data"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), base + QStringLiteral("state"));
    }
    const QString installBinDir =
        c.installFolderKnown ? temp.file(QStringLiteral("usr/bin")) : QString();
    const AppPaths paths =
        AppPaths::forExecutable(folder + QStringLiteral("/zelvant"), installBinDir, env);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(paths.mode(), c.expected);
    QString config = folder + QLatin1Char('/'), data = config, state = config;
    QString settings = config + QStringLiteral("zelvant.ini"); // after the executable's name
    if (c.expected == FileMode::Installed) {
        const bool xdg = c.xdg == Xdg::Absolute;
        config = folderIn(temp, xdg ? "config/zelvant" : "home/.config/zelvant");
        data = folderIn(temp, xdg ? "data/zelvant" : "home/.local/share/zelvant");
        state = folderIn(temp, xdg ? "state/zelvant" : "home/.local/state/zelvant");
        settings = config + QStringLiteral("Zelvant.ini"); // a portable folder's name
    }
    EXPECT_EQ(paths.settingsFile(), settings);
    EXPECT_EQ(paths.phonesFile(), config + QStringLiteral("phones.xml"));
    EXPECT_EQ(paths.regionFile(), config + QStringLiteral("servers.ini"));
    EXPECT_EQ(paths.historyFile(), data + QStringLiteral("Zelvant.mdb"));
    EXPECT_EQ(paths.errorLogFile(), state + QStringLiteral("Zelvant.err"));
    EXPECT_EQ(paths.savedPagesDir(), state);
    // Deciding creates nothing.
    for (const char *name : {"home", "config", "data", "state"})
        EXPECT_FALSE(QFileInfo::exists(temp.file(QLatin1String(name)))) << name;
}

const PathsCase pathsCases[] = {
    {"InstalledXdgUnset", Place::BinDir, Xdg::Unset, false, false, true, FileMode::Installed},
    {"InstalledXdgSet", Place::BinDir, Xdg::Absolute, false, false, true, FileMode::Installed},
    {"RelativeXdgIgnored", Place::BinDir, Xdg::Relative, false, false, true, FileMode::Installed},
    {"BinDirThroughLink", Place::BinDirThroughLink, Xdg::Unset, false, false, true,
     FileMode::Installed},
    {"ReadOnlyBinDir", Place::BinDir, Xdg::Unset, false, true, true, FileMode::Installed},
    {"PortableMarker", Place::BinDir, Xdg::Absolute, true, false, true, FileMode::Portable},
    {"OtherFolder", Place::OtherFolder, Xdg::Absolute, false, false, true, FileMode::Portable},
    {"ReadOnlyOtherFolder", Place::OtherFolder, Xdg::Unset, false, true, true, FileMode::Portable},
    {"NoInstallFolder", Place::BinDir, Xdg::Unset, false, false, false, FileMode::Portable},
};
INSTANTIATE_TEST_SUITE_P(AppPaths, PathsDecision, ::testing::ValuesIn(pathsCases),
                         [](const auto &info) { return std::string(info.param.name); });

namespace {

// The registration is process-wide; every test leaves none behind.
struct OwnFolders
{
    explicit OwnFolders(const AppPaths &paths) { registerOwnFolders(paths); }
    ~OwnFolders() { registerOwnFolders(AppPaths()); }
};

QFile::Permissions modeOf(const QString &path)
{
    const QFile::Permissions unixBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                        | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    return QFileInfo(path).permissions() & unixBits;
}

} // namespace

TEST(AppPaths, InstalledFoldersArePrivateAndMadeAtTheFirstWriteNeverAtARead)
{
    TempFolder temp;
    QDir(temp.path()).mkdir(QStringLiteral("bin"));
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), temp.file(QStringLiteral("home")));
    const AppPaths paths = AppPaths::forExecutable(temp.file(QStringLiteral("bin/zelvant")),
                                                   temp.file(QStringLiteral("bin")), env);
    ASSERT_EQ(paths.mode(), FileMode::Installed);
    const OwnFolders own(paths);

    {
        AppContext context(paths);
        context.options.apply(loadSettings(context.settingsFile));
        loadPhones(context.phones, paths.phonesFile(), &context.phonesFileUnreadable);
    }
    EXPECT_FALSE(QFileInfo::exists(temp.file(QStringLiteral("home"))));

    const QFile::Permissions privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QString error;
    ASSERT_TRUE(writeErrorLog(QStringLiteral("x"), paths.errorLogFile(), &error))
        << error.toStdString();
    for (const char *folder :
         {"home", "home/.local", "home/.local/state", "home/.local/state/zelvant"})
        EXPECT_EQ(modeOf(temp.file(QLatin1String(folder))), privateFolder) << folder;
    EXPECT_FALSE(QFileInfo::exists(temp.file(QStringLiteral("home/.config"))));

    IniFile settings(paths.settingsFile());
    ASSERT_TRUE(
        settings.writeBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true, &error))
        << error.toStdString();
    EXPECT_EQ(modeOf(temp.file(QStringLiteral("home/.config/zelvant"))), privateFolder);

    // The tray program's first start sets up the history; once the data
    // folder exists, a removed history stays removed.
    ASSERT_TRUE(initHistoryAtFirstStart(paths, &error)) << error.toStdString();
    EXPECT_EQ(modeOf(temp.file(QStringLiteral("home/.local/share/zelvant"))), privateFolder);
    ASSERT_TRUE(QFile::remove(paths.historyFile()));
    EXPECT_TRUE(initHistoryAtFirstStart(paths));
    EXPECT_FALSE(QFileInfo::exists(paths.historyFile()));

    // A folder that cannot be made is named in the error.
    QDir(temp.file(QStringLiteral("home/.config/zelvant"))).removeRecursively();
    temp.write(QStringLiteral("home/.config/zelvant"), QByteArray("a file in the way"));
    error.clear();
    EXPECT_FALSE(writeFileAtomically(paths.phonesFile(), QByteArray("x"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral(".config/zelvant"))) << error.toStdString();
}

TEST(AppPaths, PortableProgramMakesNoFolders)
{
    TempFolder temp;
    const AppPaths paths = AppPaths::forFolder(temp.file(QStringLiteral("gone")));
    const OwnFolders own(paths);
    EXPECT_FALSE(writeErrorLog(QStringLiteral("x"), paths.errorLogFile()));
    EXPECT_TRUE(initHistoryAtFirstStart(paths));
    EXPECT_FALSE(QFileInfo::exists(temp.file(QStringLiteral("gone"))));
}

TEST(Constants, TitleAndDefaults)
{
    EXPECT_EQ(ProgramTitle, QStringLiteral("Zelvant v 2.09"));
    EXPECT_EQ(NotFoundSentinel, -230973);
    EXPECT_TRUE(DefaultLoginUrl.startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(DefaultLoginUrl.endsWith(QStringLiteral("/cgi-bin/cgi.exe?function=is_login")));
}

TEST(ErrorLog, CreatesThenAppendsOneCrLfLinePerCallInWindows1251)
{
    TempFolder dir;
    const QString log = dir.file(QStringLiteral("Zelvant.err"));
    ASSERT_TRUE(writeErrorLog(QStringLiteral("первая"), log));
    ASSERT_TRUE(writeErrorLog(QStringLiteral("second"), log));
    const QByteArray bytes = dir.read(QStringLiteral("Zelvant.err"));
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 3); // two lines and the empty rest after the last LF
    EXPECT_TRUE(
        lines[0].endsWith(QByteArray(": ") + toWindows1251(QStringLiteral("первая")) + '\r'));
    EXPECT_TRUE(lines[1].endsWith(": second\r"));
    EXPECT_TRUE(lines[2].isEmpty());
    // Date, a blank, time, then ": ".
    static const QRegularExpression shape(QStringLiteral("^\\S+ \\S.*: second\\r$"));
    EXPECT_TRUE(shape.match(QString::fromLatin1(lines[1])).hasMatch());

    // The locale's short date and long time, but never a zone name after the
    // time (Qt's long time formats end in one).
    const QDateTime when(QDate(2006, 12, 25), QTime(14, 3, 7));
    EXPECT_EQ(
        errorLogLine(QStringLiteral("текст"), when, QLocale(QLocale::Russian, QLocale::Russia)),
        QStringLiteral("25.12.2006 14:03:07: текст\r\n"));
    EXPECT_EQ(errorLogLine(QStringLiteral("x"), when, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("25.12.06 14:03:07: x\r\n"));
}

TEST(ErrorLog, FailureIsReportedAndNothingIsCreated)
{
    TempFolder dir;
    QString error;
    const QString log = dir.file(QStringLiteral("missing-folder/Zelvant.err"));
    EXPECT_FALSE(writeErrorLog(QStringLiteral("x"), log, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(log));
}

TEST(PhoneRecords, FillersAndFailedSlots)
{
    PhoneResults results;
    EXPECT_FALSE(results[1].hasValues());
    EXPECT_TRUE(isFailedSlot(true, results[1]));   // never queried, monitored
    EXPECT_FALSE(isFailedSlot(false, results[1])); // not monitored never fails

    PhoneResult parsed;
    parsed.userName = QStringLiteral("Иванов");
    parsed.phoneNumber = QStringLiteral("9990000000"); // what the page showed
    parsed.balance = 12.5f;
    parsed.balanceExpiresDays = 7;
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
    results[5] = fillFromPage(parsed, 5, QStringLiteral("9161234567"), QStringLiteral("Мама"), now);
    EXPECT_EQ(results[5].phoneNumber, QStringLiteral("9161234567"));
    EXPECT_EQ(results[5].slot, 5);
    EXPECT_EQ(results[5].alias, QStringLiteral("Мама"));
    EXPECT_TRUE(results[5].queryOk);
    EXPECT_EQ(results[5].lastQueryTime, now);
    EXPECT_FALSE(isFailedSlot(true, results[5]));

    HistoryRow row;
    row.balance = 3.25;
    row.minutes = 40;
    row.queryDateTime = now.addDays(-1);
    const PhoneResult fromHistory =
        fillFromHistory(results[5], 5, QStringLiteral("9161234567"), QStringLiteral("Мама"), row);
    EXPECT_FALSE(fromHistory.queryOk);
    EXPECT_EQ(fromHistory.userName, QStringLiteral("Иванов")); // not stored: kept
    EXPECT_EQ(fromHistory.balanceExpiresDays, 7);
    EXPECT_EQ(fromHistory.minutesLeft, 40);
    EXPECT_FLOAT_EQ(fromHistory.balance, 3.25f);
    EXPECT_EQ(fromHistory.lastQueryTime, row.queryDateTime);
}

TEST(PhoneRecords, ClearingQueryOkPerMode)
{
    PhoneResults results;
    for (int i = 1; i <= PhoneSlotCount; ++i)
        results[i].queryOk = true;
    results.clearQueryOk(CycleMode::FailedPhones, -1);
    EXPECT_TRUE(results[1].queryOk);
    results.clearQueryOk(CycleMode::OnePhone, 7);
    EXPECT_FALSE(results[7].queryOk);
    EXPECT_TRUE(results[8].queryOk);
    results.clearQueryOk(CycleMode::AllPhones, -1);
    for (int i = 1; i <= PhoneSlotCount; ++i)
        EXPECT_FALSE(results[i].queryOk) << i;
    results[3].balance = 9; // nothing else changes
    results.clearQueryOk(CycleMode::AllPhones, -1);
    EXPECT_FLOAT_EQ(results[3].balance, 9);
}

TEST(Codec, Windows1251RoundTripAndLowerCase)
{
    QString all;
    for (int b = 0x20; b < 0x100; ++b)
        if (b != 0x98)
            all += fromWindows1251(QByteArray(1, char(b)));
    EXPECT_EQ(fromWindows1251(toWindows1251(all)), all);
    EXPECT_EQ(toWindows1251(QStringLiteral("Ёж")), QByteArray("\xA8\xE6"));
    EXPECT_FALSE(fitsWindows1251(QStringLiteral("日本")));
    EXPECT_EQ(toWindows1251WithCharRefs(QStringLiteral("a日")), QByteArray("a&#26085;"));
    EXPECT_EQ(toWindows1251WithCharRefs(QStringLiteral("😀")), QByteArray("&#128512;"));
    EXPECT_EQ(lowerWindows1251(QStringLiteral("АКТУАЛЬНЫЙ Баланс ЁЖ ABC")),
              QStringLiteral("актуальный баланс ёж abc"));
}

TEST(SingleInstance, SecondStartInTheSessionIsRefusedAndAsksTheFirstToShow)
{
    // One start sees only DISPLAY, the other also WAYLAND_DISPLAY: one session.
    TempFolder dir;
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":7");
    qunsetenv("WAYLAND_DISPLAY");
    SingleInstanceLock first(ProgramTitle, dir.path());
    qputenv("WAYLAND_DISPLAY", "wayland-1");
    SingleInstanceLock second(ProgramTitle, dir.path());
    EXPECT_TRUE(first.tryAcquire());
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_EQ(second.channelName(), first.channelName());

    EXPECT_FALSE(InstanceChannel::askToShow(first.channelName(), 200)) << "nobody listens yet";
    InstanceChannel channel(first.channelName());
    ASSERT_TRUE(channel.listen());
    QSignalSpy shown(&channel, &InstanceChannel::showRequested);
    // The second start runs in its own process; a thread stands in for it.
    std::thread caller([name = second.channelName()] { InstanceChannel::askToShow(name); });
    EXPECT_TRUE(shown.wait(5000));
    caller.join();
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", display);
}

#ifdef Q_OS_UNIX
TEST(SingleInstance, SocketOfAKilledInstanceIsReplacedAndTheChannelRemovesItsOwn)
{
    TempFolder dir;
    SingleInstanceLock lock(ProgramTitle, dir.path());
    ASSERT_TRUE(lock.tryAcquire());
    const QString name = lock.channelName();
    // A killed instance leaves its socket: bound, but nobody listens.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof(address.sun_path));
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(dead);
    EXPECT_FALSE(InstanceChannel::askToShow(name, 200));
    {
        InstanceChannel channel(name);
        ASSERT_TRUE(channel.listen());
        QSignalSpy shown(&channel, &InstanceChannel::showRequested);
        bool answered = false;
        std::thread caller([&] { answered = InstanceChannel::askToShow(name); });
        EXPECT_TRUE(shown.wait(5000));
        caller.join();
        EXPECT_TRUE(answered);
    }
    EXPECT_FALSE(QFile::exists(name));
}
#endif
