// The built-in region and "servers.ini": look-up by short name, the choice
// list, and adding, editing and removing regions.

#include <gtest/gtest.h>

#include <QDir>

#include "core/AppPaths.h"
#include "core/TextCodec.h"
#include "core/config/IniFile.h"
#include "core/config/Regions.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

const QString Moscow = QStringLiteral("Orvel - Москва");

// A "servers.ini" as users write it by hand, in Windows-1251.
void writeServers(const TempFolder &dir)
{
    dir.write(
        QStringLiteral("servers.ini"),
        toWindows1251(QStringLiteral("[Сибирь]\r\n"
                                     "LoginURL = https://sib.example/cgi?function=is_login\r\n"
                                     "ShortName = СИБ\r\n"
                                     "[альфа]\r\n"
                                     "shortname=сиб\r\n"
                                     "loginurl=https://alfa.example/\r\n"
                                     "[Bravo]\r\n"
                                     "ShortName=мск\r\n"
                                     "LoginURL=https://bravo.example/\r\n"
                                     "[Пусто]\r\n"
                                     "[Юг]\r\n"
                                     "ShortName=ЮГ\r\n"
                                     "LoginURL=https://south.example/\r\n")));
}

} // namespace

TEST(Regions, DefaultRegionAndAddressNormalization)
{
    EXPECT_EQ(defaultRegion().longName, Moscow);
    EXPECT_EQ(defaultRegion().shortName, QStringLiteral("МСК"));
    EXPECT_EQ(defaultRegion().loginUrl, DefaultLoginUrl);

    EXPECT_EQ(normalizeLoginUrl(QStringLiteral("  https://x.example/cgi.exe?function=is_login \t")),
              QStringLiteral("https://x.example/cgi.exe?function=is_login"));
    EXPECT_EQ(normalizeLoginUrl(
                  QStringLiteral("https://x.example/cgi.exe?a=1&function=is_newlog&lang=2&b=3 ")),
              QStringLiteral("https://x.example/cgi.exe?a=1&function=is_login"));
    // Only the first occurrence counts, and the letter case must match.
    EXPECT_EQ(normalizeLoginUrl(QStringLiteral("h?function=is_newlogfunction=is_newlog")),
              QStringLiteral("h?function=is_login"));
    EXPECT_EQ(normalizeLoginUrl(QStringLiteral("h?FUNCTION=IS_NEWLOG")),
              QStringLiteral("h?FUNCTION=IS_NEWLOG"));
}

TEST(Regions, QueriesFindTheBuiltInFirstThenSectionsInFileOrder)
{
    TempFolder dir;
    writeServers(dir);
    IniFile file(dir.file(QStringLiteral("servers.ini")));
    const RegionList regions(file);
    // The built-in region wins even over a stored region with the same short name.
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("мск")), DefaultLoginUrl);
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("МСК")), DefaultLoginUrl);
    // Two stored regions with one short name: the first in the file.
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("Сиб")),
              QStringLiteral("https://sib.example/cgi?function=is_login"));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("юг")),
              QStringLiteral("https://south.example/"));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("НЕТ")), QString());
    // A phone without region never takes the address of a section without short name.
    EXPECT_EQ(regions.loginUrlForShortName(QString()), QString());

    // No file: only the built-in region.
    IniFile none(dir.file(QStringLiteral("none.ini")));
    const RegionList builtIn(none);
    EXPECT_EQ(builtIn.loginUrlForShortName(QStringLiteral("мСк")), DefaultLoginUrl);
    EXPECT_EQ(builtIn.loginUrlForShortName(QStringLiteral("ЮГ")), QString());
    EXPECT_EQ(builtIn.listedNames(), QStringList{Moscow});
    EXPECT_EQ(builtIn.preselectedName(QStringLiteral("ЮГ")), Moscow);
}

TEST(Regions, ChoiceListSortsWithoutCaseAndPreselectsStoredRegionsFirst)
{
    TempFolder dir;
    writeServers(dir);
    IniFile file(dir.file(QStringLiteral("servers.ini")));
    const RegionList regions(file);
    EXPECT_EQ(regions.listedNames(), QStringList({Moscow, QStringLiteral("Bravo"),
                                                  QStringLiteral("альфа"), QStringLiteral("Пусто"),
                                                  QStringLiteral("Сибирь"), QStringLiteral("Юг")}));
    // Sorted order, not file order: "альфа" comes before "Сибирь".
    EXPECT_EQ(regions.preselectedName(QStringLiteral("СИБ")), QStringLiteral("альфа"));
    // A stored region with the built-in short name is pre-selected.
    EXPECT_EQ(regions.preselectedName(QStringLiteral("МСК")), QStringLiteral("Bravo"));
    EXPECT_EQ(regions.preselectedName(QStringLiteral("???")), Moscow);
    EXPECT_EQ(regions.preselectedName(QString()), Moscow);

    EXPECT_EQ(regions.region(QStringLiteral("orvel - МОСКВА")), defaultRegion());
    EXPECT_EQ(regions.region(QStringLiteral("юг")),
              (Region{QStringLiteral("Юг"), QStringLiteral("ЮГ"),
                      QStringLiteral("https://south.example/")}));
    // A section without keys shows empty values.
    EXPECT_EQ(regions.region(QStringLiteral("Пусто")),
              (Region{QStringLiteral("Пусто"), QString(), QString()}));
}

TEST(Regions, AddEditAndRemoveWriteTheFileAtOnce)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("servers.ini"));
    IniFile file(path);
    RegionList regions(file);

    ASSERT_TRUE(regions.add({QStringLiteral("Урал"), QStringLiteral("УРЛ"),
                             QStringLiteral(" https://ural.example/cgi?function=is_newlog&x=1 ")}));
    EXPECT_EQ(fromWindows1251(dir.read(QStringLiteral("servers.ini"))),
              QStringLiteral("[Урал]\r\nLoginURL=https://ural.example/cgi?function=is_login\r\n"
                             "ShortName=УРЛ\r\n"));
    // Adding under an existing name (any letter case) overwrites its keys.
    ASSERT_TRUE(regions.add(
        {QStringLiteral("УРАЛ"), QStringLiteral("У2"), QStringLiteral("https://u2.example/")}));
    EXPECT_EQ(file.sections(), QStringList{QStringLiteral("Урал")});
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("у2")),
              QStringLiteral("https://u2.example/"));

    ASSERT_TRUE(regions.add(
        {QStringLiteral("Юг"), QStringLiteral("ЮГ"), QStringLiteral("https://south.example/")}));
    // Rename: the keys move, the old section goes.
    ASSERT_TRUE(
        regions.edit(QStringLiteral("Урал"), {QStringLiteral("Урал-2"), QStringLiteral("У2"),
                                              QStringLiteral("https://u2.example/")}));
    EXPECT_EQ(file.sections(), QStringList({QStringLiteral("Юг"), QStringLiteral("Урал-2")}));
    // A change of letter case alone renames as well.
    ASSERT_TRUE(
        regions.edit(QStringLiteral("Урал-2"), {QStringLiteral("УРАЛ-2"), QStringLiteral("У2"),
                                                QStringLiteral("https://u2.example/")}));
    EXPECT_EQ(file.sections(), QStringList({QStringLiteral("Юг"), QStringLiteral("УРАЛ-2")}));
    // Editing to the name of another region overwrites that one.
    ASSERT_TRUE(regions.edit(QStringLiteral("УРАЛ-2"), {QStringLiteral("юг"), QStringLiteral("У3"),
                                                        QStringLiteral("https://u3.example/")}));
    EXPECT_EQ(file.sections(), QStringList{QStringLiteral("Юг")});
    EXPECT_EQ(regions.region(QStringLiteral("Юг")).shortName, QStringLiteral("У3"));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("ЮГ")), QString());

    ASSERT_TRUE(regions.remove(QStringLiteral("ЮГ")));
    EXPECT_TRUE(file.sections().isEmpty());
    EXPECT_EQ(regions.listedNames(), QStringList{Moscow});
}

TEST(Regions, InvalidEntriesAndFailedWritesAreReportedAndChangeNothing)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("servers.ini"));
    IniFile file(path);
    RegionList regions(file);
    ASSERT_TRUE(regions.add(
        {QStringLiteral("Юг"), QStringLiteral("ЮГ"), QStringLiteral("https://south.example/")}));
    const QByteArray before = dir.read(QStringLiteral("servers.ini"));
    QString error;
    EXPECT_FALSE(
        regions.add({QStringLiteral(" "), QStringLiteral("X"), QStringLiteral("u")}, &error));
    EXPECT_EQ(error, QStringLiteral("Все поля должны быть заполнены !"));
    EXPECT_FALSE(regions.add({QStringLiteral("X"), QStringLiteral("X"), QStringLiteral("  ")}));
    // The built-in region's name, the built-in region itself.
    error.clear();
    EXPECT_FALSE(regions.add(
        {QStringLiteral("ORVEL - москва"), QStringLiteral("X"), QStringLiteral("u")}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(regions.remove(Moscow));
    // A name that cannot be a section, a text outside the code page.
    EXPECT_FALSE(regions.add({QStringLiteral("a]b"), QStringLiteral("X"), QStringLiteral("u")}));
    error.clear();
    EXPECT_FALSE(regions.edit(QStringLiteral("Юг"),
                              {QStringLiteral("Юг ✓"), QStringLiteral("X"), QStringLiteral("u")},
                              &error));
    EXPECT_FALSE(error.isEmpty());
    // A failed rename keeps the old section: erase and write go together.
    EXPECT_EQ(dir.read(QStringLiteral("servers.ini")), before);

    // The file cannot be replaced (a folder stands in its place).
    QDir(dir.path()).mkdir(QStringLiteral("blocked.ini"));
    IniFile blocked(dir.file(QStringLiteral("blocked.ini")));
    RegionList blockedRegions(blocked);
    error.clear();
    EXPECT_FALSE(blockedRegions.add({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("c")},
                                    &error));
    EXPECT_TRUE(error.contains(QStringLiteral("blocked.ini")));
}

// Look-ups are answered from a table made once per read of the file: every
// change, through the program or by hand, is seen at the next look-up.
TEST(Regions, LookUpsFollowEveryChangeOfTheFile)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("servers.ini"));
    // An editor's byte order mark does not hide the first section.
    dir.write(QStringLiteral("servers.ini"),
              "\xEF\xBB\xBF[Юг]\r\nLoginURL=https://south.example/\r\nShortName=ЮГ\r\n");
    IniFile file(path);
    RegionList regions(file);
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("юг")),
              QStringLiteral("https://south.example/"));
    ASSERT_TRUE(regions.add({QStringLiteral("Север"), QStringLiteral("СЕВ"),
                             QStringLiteral("https://north.example/")}));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("сев")),
              QStringLiteral("https://north.example/"));
    ASSERT_TRUE(regions.remove(QStringLiteral("Юг")));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("юг")), QString());
    dir.write(QStringLiteral("servers.ini"),
              toWindows1251(
                  QStringLiteral("[Запад]\r\nLoginURL=https://west.example/\r\nShortName=ЮГ\r\n")));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("ЮГ")),
              QStringLiteral("https://west.example/"));
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("СЕВ")), QString());
}
