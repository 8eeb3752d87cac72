// The region choice and region entry dialogs over a real "servers.ini".

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTest>
#include <QToolButton>

#include "core/AppPaths.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Regions.h"
#include "gui/RegionChoiceDialog.h"
#include "gui/RegionEntryDialog.h"
#include "support/DialogDriver.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

const QString Moscow = QStringLiteral("Orvel - Москва");

QByteArray Cp1251(const QString &text)
{
    return QStringEncoder("windows-1251").encode(text);
}

class RegionDialogs : public ::testing::Test
{
protected:
    RegionDialogs()
        : file(folder.file(QStringLiteral("servers.ini")))
        , regions(file)
    {
    }

    void writeRegions(const QString &ini)
    {
        folder.write(QStringLiteral("servers.ini"), Cp1251(ini));
    }

    // A shown choice dialog, filled for a phone with this short name.
    std::unique_ptr<RegionChoiceDialog> open(const QString &shortName)
    {
        auto dialog = std::make_unique<RegionChoiceDialog>(regions);
        dialog->fillRegionList(shortName);
        dialog->show();
        return dialog;
    }
    static QString selected(QDialog *d)
    {
        return d->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"))->currentText();
    }
    static QStringList listed(QDialog *d)
    {
        auto *list = d->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"));
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i);
        return names;
    }
    static QString label(QDialog *d, const char *name)
    {
        return d->findChild<QLabel *>(QString::fromLatin1(name))->text();
    }
    static QToolButton *tool(QDialog *d, const char *name)
    {
        return d->findChild<QToolButton *>(QString::fromLatin1(name));
    }
    static QLineEdit *field(QDialog *d, const char *name)
    {
        return d->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
    static void pressOk(QDialog *entry)
    {
        QTest::mouseClick(entry->findChild<QPushButton *>(QStringLiteral("bnOk")), Qt::LeftButton);
    }
    // Replaces the text of an entry field by typing.
    static void retype(QDialog *entry, const char *name, const QString &text)
    {
        QLineEdit *e = field(entry, name);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        TypeText(e, text);
    }

    TempFolder folder;
    IniFile file;
    RegionList regions;
    RecordingMessageBoxes boxes;
};

} // namespace

TEST_F(RegionDialogs, EntryDialogInsistsOnEveryField)
{
    RegionEntryDialog entry;
    EXPECT_EQ(entry.windowTitle(), QStringLiteral("Добавить региональную ЛУМО"));
    EXPECT_EQ(field(&entry, "edSample")->text(), DefaultLoginUrl);
    EXPECT_TRUE(field(&entry, "edSample")->isReadOnly());
    EXPECT_EQ(field(&entry, "edEmail")->text(), SupportEmail);

    const int result = ExecWith(entry, [&] {
        QLineEdit *sample = field(&entry, "edSample");
        EXPECT_GE(sample->width(), sample->fontMetrics().horizontalAdvance(sample->text()))
            << "the whole example address can be seen";
        pressOk(&entry);
        retype(&entry, "edName", QStringLiteral("Orvel - Урал"));
        pressOk(&entry);
        retype(&entry, "edLoginUrl", QStringLiteral("https://u.example/"));
        retype(&entry, "edShortName", QStringLiteral("   "));
        pressOk(&entry);
        ASSERT_EQ(boxes.errors.size(), 3);
        for (const QString &e : boxes.errors)
            EXPECT_EQ(e, QStringLiteral("Все поля должны быть заполнены !"));
        EXPECT_TRUE(entry.isVisible());
        retype(&entry, "edShortName", QStringLiteral("УРЛX"));
        EXPECT_EQ(entry.shortName(), QStringLiteral("УРЛ")) << "three letters at most";
        QTest::keyClick(field(&entry, "edShortName"), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(entry.name(), QStringLiteral("Orvel - Урал"));
    EXPECT_EQ(boxes.errors.size(), 3);
}

TEST_F(RegionDialogs, PreselectionByShortName)
{
    writeRegions(QStringLiteral("[Юг]\r\nShortName=КРД\r\nLoginURL=https://south/\r\n"
                                "[Урал Б]\r\nShortName=урл\r\nLoginURL=https://ural-b/\r\n"
                                "[урал А]\r\nShortName=УРЛ\r\nLoginURL=https://ural-a/\r\n"
                                "[Пусто]\r\n"));
    auto d = open(QStringLiteral("мск"));
    EXPECT_EQ(listed(d.get()),
              (QStringList{Moscow, QStringLiteral("Пусто"), QStringLiteral("урал А"),
                           QStringLiteral("Урал Б"), QStringLiteral("Юг")}));
    EXPECT_EQ(selected(d.get()), Moscow);
    EXPECT_EQ(label(d.get(), "lblShortName"), QStringLiteral("МСК"));
    EXPECT_EQ(label(d.get(), "lblLumoUrl"), DefaultLoginUrl);
    EXPECT_FALSE(tool(d.get(), "bnEdit")->isEnabled());
    EXPECT_FALSE(tool(d.get(), "bnRemove")->isEnabled());
    EXPECT_TRUE(tool(d.get(), "bnAdd")->isEnabled());

    // Two regions share a short name: the one whose name sorts first.
    d->fillRegionList(QStringLiteral("Урл"));
    EXPECT_EQ(selected(d.get()), QStringLiteral("урал А"));
    EXPECT_EQ(label(d.get(), "lblLumoUrl"), QStringLiteral("https://ural-a/"));
    EXPECT_TRUE(tool(d.get(), "bnEdit")->isEnabled());
    EXPECT_TRUE(tool(d.get(), "bnRemove")->isEnabled());

    // An unknown short name (a removed region) falls back to the built-in one.
    d->fillRegionList(QStringLiteral("XYZ"));
    EXPECT_EQ(selected(d.get()), Moscow);

    // Choosing another entry shows its values; one without keys shows blanks.
    auto *list = d->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"));
    list->setCurrentIndex(list->findText(QStringLiteral("Пусто")));
    EXPECT_TRUE(label(d.get(), "lblShortName").isEmpty());
    EXPECT_TRUE(label(d.get(), "lblLumoUrl").isEmpty());
    EXPECT_EQ(d->chosenShortName(), QString());
    list->setCurrentIndex(list->findText(QStringLiteral("Юг")));
    EXPECT_EQ(d->chosenShortName(), QStringLiteral("КРД"));

    // A stored region that also calls itself "МСК" wins in this dialog.
    writeRegions(QStringLiteral("[Подмосковье]\r\nShortName=МСК\r\nLoginURL=https://mo/\r\n"));
    d->fillRegionList(QStringLiteral("МСК"));
    EXPECT_EQ(selected(d.get()), QStringLiteral("Подмосковье"));
}

TEST_F(RegionDialogs, AddStoresANormalizedRegionAndSelectsIt)
{
    auto d = open(DefaultShortName);
    WhenModal([](QDialog *entry) {
        ASSERT_NE(qobject_cast<RegionEntryDialog *>(entry), nullptr);
        EXPECT_TRUE(field(entry, "edName")->text().isEmpty());
        retype(entry, "edName", QStringLiteral("Orvel - Урал"));
        retype(entry, "edLoginUrl",
               QStringLiteral("  https://ural.example/cgi-bin/cgi.exe?lang=2&function=is_newlog"
                              "&x=1&y=2  "));
        retype(entry, "edShortName", QStringLiteral("УРЛ"));
        pressOk(entry);
    });
    QTest::mouseClick(tool(d.get(), "bnAdd"), Qt::LeftButton);
    EXPECT_TRUE(boxes.errors.isEmpty()) << qPrintable(boxes.errors.join('\n'));
    EXPECT_EQ(selected(d.get()), QStringLiteral("Orvel - Урал"));
    EXPECT_EQ(d->chosenShortName(), QStringLiteral("УРЛ"));
    const QString stored =
        QStringLiteral("https://ural.example/cgi-bin/cgi.exe?lang=2&function=is_login");
    EXPECT_EQ(label(d.get(), "lblLumoUrl"), stored);
    EXPECT_EQ(
        IniFile(file.path())
            .readString(QStringLiteral("Orvel - Урал"), QStringLiteral("LoginURL"), QString()),
        stored);
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("урл")), stored);

    // Cancelling the entry dialog adds nothing.
    WhenModal([](QDialog *entry) {
        retype(entry, "edName", QStringLiteral("Другой"));
        QTest::keyClick(entry, Qt::Key_Escape);
    });
    QTest::mouseClick(tool(d.get(), "bnAdd"), Qt::LeftButton);
    EXPECT_EQ(listed(d.get()).size(), 2);
}

TEST_F(RegionDialogs, EditRenamesAndMovesTheKeys)
{
    writeRegions(QStringLiteral("[Урал]\r\nShortName=УРЛ\r\nLoginURL=https://ural/\r\n"
                                "[Юг]\r\nShortName=КРД\r\nLoginURL=https://south/\r\n"));
    auto d = open(QStringLiteral("УРЛ"));
    WhenModal([](QDialog *entry) {
        EXPECT_EQ(field(entry, "edName")->text(), QStringLiteral("Урал"));
        EXPECT_EQ(field(entry, "edShortName")->text(), QStringLiteral("УРЛ"));
        EXPECT_EQ(field(entry, "edLoginUrl")->text(), QStringLiteral("https://ural/"));
        retype(entry, "edName", QStringLiteral("Урал и Сибирь"));
        retype(entry, "edShortName", QStringLiteral("СИБ"));
        pressOk(entry);
    });
    QTest::mouseClick(tool(d.get(), "bnEdit"), Qt::LeftButton);
    EXPECT_EQ(selected(d.get()), QStringLiteral("Урал и Сибирь"));
    EXPECT_EQ(IniFile(file.path()).sections(),
              (QStringList{QStringLiteral("Юг"), QStringLiteral("Урал и Сибирь")}));

    // Only the letter case changes: still a rename, one section remains.
    WhenModal([](QDialog *entry) {
        retype(entry, "edName", QStringLiteral("УРАЛ И СИБИРЬ"));
        pressOk(entry);
    });
    QTest::mouseClick(tool(d.get(), "bnEdit"), Qt::LeftButton);
    const QStringList sections = IniFile(file.path()).sections();
    EXPECT_EQ(sections, (QStringList{QStringLiteral("Юг"), QStringLiteral("УРАЛ И СИБИРЬ")}));
    EXPECT_EQ(selected(d.get()), QStringLiteral("УРАЛ И СИБИРЬ"));
    EXPECT_EQ(label(d.get(), "lblLumoUrl"), QStringLiteral("https://ural/"));

    // A short name longer than three letters, from a file edited by hand,
    // survives an edit of the address alone.
    writeRegions(QStringLiteral("[Юг]\r\nShortName=ЮЖНЫЙ\r\nLoginURL=https://south/\r\n"));
    d->fillRegionList(QStringLiteral("ЮЖНЫЙ"));
    ASSERT_EQ(selected(d.get()), QStringLiteral("Юг"));
    WhenModal([](QDialog *entry) {
        EXPECT_EQ(field(entry, "edShortName")->text(), QStringLiteral("ЮЖНЫЙ"));
        retype(entry, "edLoginUrl", QStringLiteral("https://south2/"));
        pressOk(entry);
    });
    QTest::mouseClick(tool(d.get(), "bnEdit"), Qt::LeftButton);
    EXPECT_EQ(regions.loginUrlForShortName(QStringLiteral("ЮЖНЫЙ")),
              QStringLiteral("https://south2/"));
    EXPECT_EQ(label(d.get(), "lblShortName"), QStringLiteral("ЮЖНЫЙ"));
    EXPECT_TRUE(boxes.errors.isEmpty());
}

TEST_F(RegionDialogs, RemoveAsksFirst)
{
    writeRegions(QStringLiteral("[Юг]\r\nShortName=КРД\r\nLoginURL=https://south/\r\n"));
    const QByteArray before = folder.read(QStringLiteral("servers.ini"));
    auto d = open(QStringLiteral("КРД"));

    boxes.answers = {false};
    QTest::mouseClick(tool(d.get(), "bnRemove"), Qt::LeftButton);
    EXPECT_EQ(boxes.questions,
              QStringList{QStringLiteral("Удалить региональную ЛУМО \"Юг\" из списка?")});
    EXPECT_EQ(folder.read(QStringLiteral("servers.ini")), before);
    EXPECT_EQ(selected(d.get()), QStringLiteral("Юг"));

    boxes.answers = {true};
    QTest::mouseClick(tool(d.get(), "bnRemove"), Qt::LeftButton);
    EXPECT_EQ(boxes.questions.size(), 2);
    EXPECT_EQ(listed(d.get()), QStringList{Moscow});
    EXPECT_EQ(selected(d.get()), Moscow);
    EXPECT_FALSE(tool(d.get(), "bnRemove")->isEnabled());
    EXPECT_TRUE(regions.loginUrlForShortName(QStringLiteral("КРД")).isEmpty());
}

TEST_F(RegionDialogs, AFailedWriteIsReportedAndTheEntryComesBack)
{
    // The region list cannot be written where a folder stands in its place.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("servers.ini")));
    auto d = open(DefaultShortName);
    int entries = 0;
    WhenModal([&](QDialog *entry) {
        ++entries;
        retype(entry, "edName", QStringLiteral("Урал"));
        retype(entry, "edLoginUrl", QStringLiteral("https://ural/"));
        retype(entry, "edShortName", QStringLiteral("УРЛ"));
        // After the error the same dialog returns with the typed values.
        WhenModal(
            [&](QDialog *again) {
                ++entries;
                EXPECT_EQ(field(again, "edName")->text(), QStringLiteral("Урал"));
                EXPECT_EQ(field(again, "edShortName")->text(), QStringLiteral("УРЛ"));
                QTest::keyClick(again, Qt::Key_Escape);
            },
            nullptr);
        pressOk(entry);
    });
    QTest::mouseClick(tool(d.get(), "bnAdd"), Qt::LeftButton);
    EXPECT_EQ(entries, 2);
    ASSERT_EQ(boxes.errors.size(), 1);
    EXPECT_FALSE(boxes.errors.first().isEmpty());
    EXPECT_EQ(listed(d.get()), QStringList{Moscow});
}
