// The settings file: defaults, validation of hand-edited values, the order
// and content of a save, window placements.

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

#include "core/TextCodec.h"
#include "core/config/AutoStart.h"
#include "core/config/IniFile.h"
#include "core/config/Settings.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

class FakeAutoStart : public AutoStart
{
public:
    bool setAutoStart(bool on, QString *error) override
    {
        calls.append(on);
        if (failWith.isEmpty()) {
            registered = on;
            return true;
        }
        if (error)
            *error = failWith;
        return false;
    }
    bool isRegistered() const override { return registered; }

    QList<bool> calls;
    bool registered = false;
    QString failWith;
};

// Restores the default locale when a test changed it.
class LocaleGuard
{
public:
    ~LocaleGuard() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

} // namespace

TEST(SettingsLoad, NoFileGivesTheDefaults)
{
    TempFolder dir;
    const IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    const Options o = loadSettings(ini);
    EXPECT_EQ(o, Options());
    // The columns shown by default and the other defaults, spelled out.
    EXPECT_FALSE(o.cbNN);
    EXPECT_TRUE(o.cbAlias && o.cbUserName && o.cbPhoneNum && o.cbTurnOff && o.cbRecomend
                && o.cbLastQueryTime);
    EXPECT_FALSE(o.cbAverage || o.cbSMS || o.cbMin || o.cbJeansBalExpired);
    EXPECT_TRUE(o.cbMarkIfBalance && o.cbMarkIfTurnOff);
    EXPECT_EQ(o.edBalanceLessThen, QStringLiteral("2.5"));
    EXPECT_EQ(o.edTurnOffLessThen, QStringLiteral("2"));
    EXPECT_EQ(o.refreshHours(), 5);
    EXPECT_EQ(o.refreshIntervalMs(), 5 * 3600000LL);
    EXPECT_TRUE(o.cbAutoStart && o.cbHistory && o.cbLoadHistory);
    EXPECT_FALSE(o.cbExecAfterRun);
    EXPECT_FALSE(o.cbFailReason);
    EXPECT_TRUE(o.cbRetryFailed && o.cbNotifyLowBalance && o.cbNotifyFailures);
    EXPECT_FALSE(saveLogFilesEnabled(ini));
    EXPECT_FALSE(QFile::exists(ini.path()));
}

TEST(SettingsLoad, HandEditedValuesAreValidatedWithTheirDefaults)
{
    TempFolder dir;
    dir.write(QStringLiteral("Zelvant.ini"), "[hint window]\r\n"
                                             " CBNN = yes \r\n"
                                             "cbAlias=0\r\n"
                                             "cbSMS=2\r\n"
                                             "cbMin=0x0\r\n"
                                             "[MARK]\r\n"
                                             "cbMarkIfBalance=-1\r\n"
                                             "edBalanceLessThen=abc\r\n"
                                             "edTurnOffLessThen=2.5\r\n"
                                             "[connection]\r\n"
                                             "cbRefreshTime=9\r\n"
                                             "cbHistory=\r\n"
                                             "cbExecAfterRun=0x10\r\n"
                                             "cbRetryFailed=yes\r\n"
                                             "CBNOTIFYFAILURES=0\r\n");
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    Options o = loadSettings(ini);
    EXPECT_FALSE(o.cbNN); // a word gives the default
    EXPECT_FALSE(o.cbAlias);
    EXPECT_TRUE(o.cbSMS);
    EXPECT_FALSE(o.cbMin);
    EXPECT_TRUE(o.cbMarkIfBalance);
    EXPECT_EQ(o.edBalanceLessThen, QStringLiteral("2.5"));
    EXPECT_EQ(o.edTurnOffLessThen, QStringLiteral("2"));
    EXPECT_EQ(o.cbRefreshTime, 2);
    EXPECT_TRUE(o.cbHistory);
    EXPECT_TRUE(o.cbExecAfterRun);
    EXPECT_TRUE(o.cbRetryFailed);
    EXPECT_TRUE(o.cbNotifyLowBalance);
    EXPECT_FALSE(o.cbNotifyFailures);

    const struct
    {
        const char *refresh;
        int index;
        int hours;
    } intervals[] = {{"7", 7, 24}, {"0", 0, 3}, {"-1", 2, 5}, {"8", 2, 5}, {"0x6", 6, 12}};
    for (const auto &c : intervals) {
        ASSERT_TRUE(ini.writeString(QStringLiteral("Connection"), QStringLiteral("cbRefreshTime"),
                                    QLatin1String(c.refresh)));
        o = loadSettings(ini);
        EXPECT_EQ(o.cbRefreshTime, c.index) << c.refresh;
        EXPECT_EQ(o.refreshHours(), c.hours) << c.refresh;
    }

    // The numbers that mean "no number" and other odd thresholds.
    const struct
    {
        const char *balance;
        const char *turnOff;
        const char *balanceAfter;
        const char *turnOffAfter;
    } thresholds[] = {
        {"-230973", "-230973", "2.5", "2"}, {"3,75", "0x3", "2.5", "0x3"},
        {"1,000", "3.0", "2.5", "2"},       {"inf", "", "2.5", "2"},
        {" 3.75 ", "-1", "3.75", "-1"},     {"1e2", "7", "1e2", "7"},
        {"-230973.0", "10", "2.5", "10"},
    };
    for (const auto &t : thresholds) {
        ASSERT_TRUE(ini.apply(
            {IniFile::Change::write(QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"),
                                    QLatin1String(t.balance)),
             IniFile::Change::write(QStringLiteral("Mark"), QStringLiteral("edTurnOffLessThen"),
                                    QLatin1String(t.turnOff))}));
        o = loadSettings(ini);
        EXPECT_EQ(o.edBalanceLessThen, QLatin1String(t.balanceAfter)) << t.balance;
        EXPECT_EQ(o.edTurnOffLessThen, QLatin1String(t.turnOffAfter)) << t.turnOff;
    }
    EXPECT_DOUBLE_EQ(o.balanceThreshold(), 2.5);
    EXPECT_EQ(o.turnOffThreshold(), 10);
}

TEST(SettingsLoad, TrayIconStyleOfOlderAndHandEditedFiles)
{
    TempFolder dir;
    IniFile ini(dir.file(QStringLiteral("Zelvant.ini")));
    // A file of an older version has the section but not the key.
    ASSERT_TRUE(ini.writeString(QStringLiteral("Hint Window"), QStringLiteral("cbNN"),
                                QStringLiteral("1")));
    EXPECT_EQ(loadSettings(ini).cbTrayIcon, TrayIconStyle::DarkOutlined);
    const std::pair<const char *, TrayIconStyle> cases[] = {
        {"0", TrayIconStyle::DarkOutlined},  {"1", TrayIconStyle::Dark},
        {"2", TrayIconStyle::Light},         {"3", TrayIconStyle::DarkOutlined},
        {"-1", TrayIconStyle::DarkOutlined}, {"светлый", TrayIconStyle::DarkOutlined}};
    for (const auto &[text, style] : cases) {
        ASSERT_TRUE(ini.writeString(QStringLiteral("hint window"), QStringLiteral("CBTRAYICON"),
                                    QString::fromUtf8(text)));
        EXPECT_EQ(loadSettings(ini).cbTrayIcon, style) << text;
    }
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
    EXPECT_EQ(dir.read(QStringLiteral("Zelvant.ini")),
              QByteArray("[Hint Window]\r\n"
                         "cbNN=1\r\ncbAlias=0\r\ncbUserName=1\r\ncbPhoneNum=1\r\ncbAverage=0\r\n"
                         "cbTurnOff=1\r\ncbRecomend=1\r\ncbSMS=0\r\ncbMin=0\r\n"
                         "cbJeansBalExpired=1\r\ncbLastQueryTime=1\r\ncbFailReason=1\r\n"
                         "cbTrayIcon=2\r\n"
                         "\r\n[Mark]\r\n"
                         "cbMarkIfBalance=1\r\ncbMarkIfTurnOff=0\r\n"
                         "edBalanceLessThen=3.75\r\nedTurnOffLessThen=5\r\n"
                         "\r\n[Connection]\r\n"
                         "cbRefreshTime=7\r\ncbAutoStart=0\r\ncbExecAfterRun=1\r\n"
                         "cbHistory=1\r\ncbLoadHistory=1\r\n"
                         "cbRetryFailed=0\r\ncbNotifyLowBalance=1\r\ncbNotifyFailures=1\r\n"
                         "\r\n[Phones]\r\nrbTray=-1\r\n"
                         "\r\n[Debug]\r\nSaveLogFiles=0\r\n"));
    const Options back = loadSettings(ini);
    EXPECT_EQ(back, o);
    EXPECT_DOUBLE_EQ(back.balanceThreshold(), 3.75);
    EXPECT_EQ(back.refreshHours(), 24);

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
