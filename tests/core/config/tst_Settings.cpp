// The settings file: defaults, validation of hand-edited values, the order
// and content of a save, window placements.

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

#include "core/TextCodec.h"
#include "core/config/AutoStart.h"
#include "core/config/IniFile.h"
#include "core/config/Settings.h"
#include "core/config/SettingsTable.h"
#include "support/FakeAutoStart.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::FakeAutoStart;
using zelvant::test::TempFolder;

namespace {

// Restores the default locale when a test changed it.
class LocaleGuard
{
public:
    ~LocaleGuard() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

const Setting &settingOf(const char *key)
{
    for (const Setting &s : settingsTable())
        if (qstrcmp(s.key, key) == 0)
            return s;
    ADD_FAILURE() << "no setting " << key;
    return settingsTable().front();
}

} // namespace

TEST(SettingsLoad, MissingKeysAndTextsThatAreNoAllowedValueGiveTheDefault)
{
    TempFolder dir;
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    EXPECT_EQ(loadSettings(ini), Options());
    EXPECT_FALSE(saveLogFilesEnabled(ini));
    EXPECT_FALSE(QFile::exists(ini.path()));
    // The defaults, as a save writes them.
    ASSERT_TRUE(saveSettings(ini, loadSettings(ini), false, nullptr));
    EXPECT_EQ(
        dir.read(QStringLiteral("Zelvant.ini")),
        QByteArray("[Hint Window]\r\n"
                   "cbNN=0\r\ncbAlias=1\r\ncbUserName=1\r\ncbPhoneNum=1\r\ncbAverage=0\r\n"
                   "cbTurnOff=1\r\ncbRecomend=1\r\ncbSMS=0\r\ncbMin=0\r\ncbJeansBalExpired=0\r\n"
                   "cbLastQueryTime=1\r\ncbFailReason=0\r\ncbDailySpend=0\r\ncbTrayIcon=0\r\n"
                   "\r\n[Mark]\r\ncbMarkIfBalance=1\r\ncbMarkIfTurnOff=1\r\n"
                   "edBalanceLessThen=2.5\r\nedTurnOffLessThen=2\r\n"
                   "\r\n[Connection]\r\ncbRefreshTime=2\r\ncbAutoStart=1\r\n"
                   "cbExecAfterRun=0\r\ncbHistory=1\r\ncbLoadHistory=1\r\ncbRetryFailed=1\r\n"
                   "cbNotifyLowBalance=1\r\ncbNotifyFailures=1\r\n"
                   "cbNotifyUnusualSpend=1\r\nedSpendFactor=3\r\nedSpendFloor=30\r\ncbKeyring=0\r\n"
                   "\r\n[MQTT]\r\ncbMqttEnabled=0\r\nedMqttHost=\r\nedMqttPort=1883\r\n"
                   "cbMqttTls=0\r\nedMqttCaFile=\r\nedMqttUser=\r\nedMqttPrefix=zelvant\r\n"
                   "cbMqttDiscovery=1\r\n"
                   "\r\n[Debug]\r\nSaveLogFiles=0\r\n"));

    // One key in the file, in other letter case: its texts read as the
    // second of each pair (words, indices outside the list and the numbers
    // that mean "no number" give the default), every missing key as its
    // default.
    using Texts = QList<std::pair<const char *, const char *>>;
    const std::pair<const char *, Texts> cases[] = {
        {"cbNN", {{" yes ", "0"}, {"2", "1"}, {"0x0", "0"}, {"-1", "1"}, {"", "0"}}},
        {"cbHistory", {{"", "1"}, {"yes", "1"}, {"0x10", "1"}, {"0", "0"}}},
        {"cbRefreshTime", {{"7", "7"}, {"0", "0"}, {"-1", "2"}, {"8", "2"}, {"0x6", "6"}}},
        {"cbTrayIcon", {{"1", "1"}, {"2", "2"}, {"3", "0"}, {"-1", "0"}, {"светлый", "0"}}},
        {"edBalanceLessThen", {{"-230973", "2.5"}, {"3,75", "2.5"}, {"1,000", "2.5"}}},
        {"edBalanceLessThen", {{"inf", "2.5"}, {" 3.75 ", "3.75"}, {"-230973.0", "2.5"}}},
        {"edBalanceLessThen", {{"1e2", "1e2"}}},
        {"edMqttPrefix", {{"", "zelvant"}, {"home/sim", "home/sim"}}},
        {"edTurnOffLessThen",
         {{"-230973", "2"}, {"0x3", "0x3"}, {"3.0", "2"}, {"", "2"}, {"-1", "-1"}, {"10", "10"}}}};
    for (const auto &[key, texts] : cases) {
        const Setting &s = settingOf(key);
        for (const auto &[text, loaded] : texts) {
            QFile::remove(ini.path());
            ASSERT_TRUE(ini.writeString(s.sectionName().toLower(), s.keyName().toUpper(),
                                        QString::fromUtf8(text)));
            const Options o = loadSettings(ini);
            EXPECT_EQ(s.text(o), QLatin1String(loaded)) << key << "=" << text;
            Options expected;
            s.setText(expected, s.text(o));
            EXPECT_EQ(o, expected) << "only " << key << " differs from the defaults";
        }
    }
    EXPECT_EQ(loadSettings(ini).turnOffThreshold(), 10);
    EXPECT_DOUBLE_EQ(Options().balanceThreshold(), 2.5);

    // Installed, the passwords go to the keyring unless the file chose.
    for (const auto &[text, keyring] : {std::pair{"", true}, {"x", true}, {"0", false}}) {
        QFile::remove(ini.path());
        ASSERT_TRUE(ini.writeString(QStringLiteral("Connection"), QStringLiteral("cbKeyring"),
                                    QString::fromLatin1(text)));
        EXPECT_EQ(loadSettings(ini, FileMode::Installed).cbKeyring, keyring) << text;
        EXPECT_FALSE(loadSettings(ini, FileMode::Portable).cbKeyring) << text;
    }

    // The refresh timer of each offered interval; an index outside the list
    // gives the default rather than a timer firing constantly or never.
    const qint64 hour = 3600 * 1000;
    const std::pair<int, qint64> intervals[] = {
        {0, 3 * hour}, {1, 4 * hour},  {2, 5 * hour},  {3, 6 * hour},  {4, 7 * hour},
        {5, 8 * hour}, {6, 12 * hour}, {7, 24 * hour}, {-1, 5 * hour}, {8, 5 * hour}};
    for (const auto &[index, ms] : intervals) {
        Options o;
        o.cbRefreshTime = index;
        EXPECT_EQ(o.refreshIntervalMs(), ms) << index;
    }
    EXPECT_EQ(Options().refreshIntervalMs(), 18000000);
}

TEST(SettingsSave, WritesEveryKeyInOrderAndSurvivesAReloadUnderACommaLocale)
{
    LocaleGuard guard;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TempFolder dir;
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    FakeAutoStart autoStart;
    Options o;
    o.cbNN = true;
    o.cbAlias = false;
    o.cbJeansBalExpired = true;
    o.cbMarkIfTurnOff = false;
    o.edBalanceLessThen = QStringLiteral("3.75");
    o.edTurnOffLessThen = QStringLiteral("5");
    o.cbRefreshTime = 7;
    o.cbAutoStart = false;
    o.cbExecAfterRun = true;
    o.cbFailReason = true;
    o.cbRetryFailed = false;
    o.cbTrayIcon = TrayIconStyle::Light;
    ASSERT_TRUE(saveSettings(ini, o, true, &autoStart));
    EXPECT_EQ(autoStart.calls, QList<bool>{false});
    EXPECT_EQ(
        dir.read(QStringLiteral("Zelvant.ini")),
        QByteArray("[Hint Window]\r\n"
                   "cbNN=1\r\ncbAlias=0\r\ncbUserName=1\r\ncbPhoneNum=1\r\ncbAverage=0\r\n"
                   "cbTurnOff=1\r\ncbRecomend=1\r\ncbSMS=0\r\ncbMin=0\r\n"
                   "cbJeansBalExpired=1\r\ncbLastQueryTime=1\r\ncbFailReason=1\r\n"
                   "cbDailySpend=0\r\ncbTrayIcon=2\r\n"
                   "\r\n[Mark]\r\n"
                   "cbMarkIfBalance=1\r\ncbMarkIfTurnOff=0\r\n"
                   "edBalanceLessThen=3.75\r\nedTurnOffLessThen=5\r\n"
                   "\r\n[Connection]\r\n"
                   "cbRefreshTime=7\r\ncbAutoStart=0\r\ncbExecAfterRun=1\r\n"
                   "cbHistory=1\r\ncbLoadHistory=1\r\n"
                   "cbRetryFailed=0\r\ncbNotifyLowBalance=1\r\ncbNotifyFailures=1\r\n"
                   "cbNotifyUnusualSpend=1\r\nedSpendFactor=3\r\nedSpendFloor=30\r\ncbKeyring=0\r\n"
                   "\r\n[MQTT]\r\ncbMqttEnabled=0\r\nedMqttHost=\r\nedMqttPort=1883\r\n"
                   "cbMqttTls=0\r\nedMqttCaFile=\r\nedMqttUser=\r\nedMqttPrefix=zelvant\r\n"
                   "cbMqttDiscovery=1\r\n"
                   "\r\n[Phones]\r\nrbTray=-1\r\n"
                   "\r\n[Debug]\r\nSaveLogFiles=0\r\n"));
    const Options back = loadSettings(ini);
    EXPECT_EQ(back, o);
    EXPECT_DOUBLE_EQ(back.balanceThreshold(), 3.75);
    EXPECT_TRUE(settingsDiffer(MarkSection, back, Options()));
    EXPECT_FALSE(settingsDiffer(MarkSection, back, o));

    // A phone in the tray writes nothing under "Phones": the old -1 stays.
    // A hand-set SaveLogFiles survives the save.
    ASSERT_TRUE(ini.writeString(QStringLiteral("debug"), QStringLiteral("savelogfiles"),
                                QStringLiteral(" 1 ")));
    EXPECT_TRUE(saveLogFilesEnabled(ini));
    o.cbAutoStart = true;
    ASSERT_TRUE(saveSettings(ini, o, false, &autoStart));
    EXPECT_EQ(autoStart.calls, QList<bool>({false, true}));
    EXPECT_EQ(ini.readInteger(QStringLiteral("Phones"), QStringLiteral("rbTray"), 0), -1);
    EXPECT_TRUE(saveLogFilesEnabled(ini));
    EXPECT_TRUE(dir.read(QStringLiteral("Zelvant.ini")).contains("[Debug]\r\nSaveLogFiles=1\r\n"));
}

TEST(SettingsSave, FailuresAreReportedAndStoreNothing)
{
    TempFolder dir;
    dir.write(QStringLiteral("Zelvant.ini"), "; mine\r\n[Mark]\r\nedBalanceLessThen=1.5\r\n");
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    FakeAutoStart autoStart;
    Options o;
    o.edBalanceLessThen = QStringLiteral("4 ✓"); // cannot be stored in the code page
    QString error;
    EXPECT_FALSE(saveSettings(ini, o, true, &autoStart, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(autoStart.calls.isEmpty()); // nothing applied after a failed write
    EXPECT_EQ(dir.read(QStringLiteral("Zelvant.ini")),
              QByteArray("; mine\r\n[Mark]\r\nedBalanceLessThen=1.5\r\n"));

    // The settings are stored, but the autostart entry failed: reported.
    o.edBalanceLessThen = QStringLiteral("4");
    autoStart.failWith = QStringLiteral("no autostart");
    error.clear();
    EXPECT_FALSE(saveSettings(ini, o, false, &autoStart, &error));
    EXPECT_EQ(error, QStringLiteral("no autostart"));
    EXPECT_EQ(loadSettings(ini).edBalanceLessThen, QStringLiteral("4"));

    // The file's folder does not exist.
    IniFile nowhere(dir.file(QStringLiteral("gone/Zelvant.ini")));
    error.clear();
    EXPECT_FALSE(saveSettings(nowhere, o, false, nullptr, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Zelvant.ini")));
}

TEST(WindowPlacements, AbsentKeysReadAsTheSentinelAndAreNotWritten)
{
    TempFolder dir;
    dir.write(QStringLiteral("Zelvant.ini"), "[History Form]\r\nedLastDays=7\r\nHeight=300\r\n"
                                             "[PhonesInfo Form]\r\nWidth=abc\r\nLeft=-20\r\n");
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    WindowPlacement h = readWindowPlacement(ini, QStringLiteral("history form"));
    EXPECT_EQ(h.height, 300);
    EXPECT_EQ(h.width, NotFoundSentinel);
    EXPECT_EQ(h.left, NotFoundSentinel);
    EXPECT_EQ(h.top, NotFoundSentinel);
    const WindowPlacement p = readWindowPlacement(ini, QStringLiteral("PhonesInfo Form"));
    EXPECT_EQ(p.width, NotFoundSentinel);
    EXPECT_EQ(p.left, -20);

    // The history window has no width: writing its placement adds none.
    h.height = 420;
    h.left = 10;
    h.top = 0;
    ASSERT_TRUE(writeWindowPlacement(ini, QStringLiteral("History Form"), h));
    EXPECT_EQ(dir.read(QStringLiteral("Zelvant.ini")),
              QByteArray("[History Form]\r\nedLastDays=7\r\nHeight=420\r\nLeft=10\r\nTop=0\r\n"
                         "[PhonesInfo Form]\r\nWidth=abc\r\nLeft=-20\r\n"));
    const WindowPlacement back = readWindowPlacement(ini, QStringLiteral("History Form"));
    EXPECT_EQ(back.height, 420);
    EXPECT_EQ(back.top, 0);
    EXPECT_EQ(back.width, NotFoundSentinel);
}

TEST(WindowPlacements, HistoryFieldsFallBackToTheirDefaultsAndAreStoredWithThePlacement)
{
    TempFolder dir;
    dir.write(QStringLiteral("Zelvant.ini"), "[History Form]\r\nedLastRequest=abc\r\n"
                                             "edLastDays=3.5\r\n");
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    HistoryFormFields f = readHistoryFormFields(ini);
    EXPECT_EQ(f.edLastRequest, QStringLiteral("50"));
    EXPECT_EQ(f.edLastDays, QStringLiteral("3.5"));
    f.edLastRequest = QStringLiteral("-230973"); // the "no number" mark
    WindowPlacement p;
    p.height = 500;
    ASSERT_TRUE(writeHistoryForm(ini, f, p));
    EXPECT_EQ(dir.read(QStringLiteral("Zelvant.ini")),
              QByteArray("[History Form]\r\nedLastRequest=-230973\r\nedLastDays=3.5\r\n"
                         "Height=500\r\n"));
    EXPECT_EQ(readHistoryFormFields(ini).edLastRequest, QStringLiteral("50"));
}
