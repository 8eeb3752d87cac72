// The history window (phone list, range fields, key filter, stored fields
// and placement, show and export through the file question) and the one-
// phone history grid (rows, separator lines, warnings), with the message
// boxes and the save dialog answered by the test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <functional>

#include "core/config/AppContext.h"
#include "core/history/HistoryTableModel.h"
#include "gui/ExportDialogs.h"
#include "gui/HistoryWindow.h"
#include "gui/PhoneHistoryWindow.h"
#include "gui/ReportWindows.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/TempFolder.h"
#include "support/XlsxContents.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

struct Message
{
    MessageKind kind;
    QString text;
};

// Answers the message boxes and the save dialog for one test.
class Answers
{
public:
    Answers()
    {
        m_previous = setMessageHandler([this](QWidget *, MessageKind kind, const QString &text) {
            messages.append({kind, text});
            if (onMessage)
                onMessage();
            if (kind == MessageKind::Question)
                return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
            return true;
        });
        setSaveFileHandler([this](QWidget *, const QString &suggested) {
            suggestions << suggested;
            return savePath;
        });
    }
    ~Answers()
    {
        setMessageHandler(m_previous);
        setSaveFileHandler({});
    }

    QList<Message> messages;
    QList<bool> questionAnswers;
    QStringList suggestions;
    QString savePath;
    std::function<void()> onMessage;

private:
    MessageHandler m_previous;
};

// Runs check on the one-phone window once it is open, then closes it.
void whenHistoryPhoneOpens(std::function<void(PhoneHistoryWindow *)> check)
{
    QTimer::singleShot(0, [check] {
        PhoneHistoryWindow *window = PhoneHistoryWindow::current();
        check(window);
        if (window)
            window->reject();
    });
}

QDateTime at(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
}

struct Fixture
{
    TempFolder dir;
    AppContext context{AppPaths::forFolder(dir.path())};

    Fixture()
    {
        auto set = [this](int slot, const char *number, const char *alias, bool monitored) {
            PhoneSlot &s = context.phones.slot(slot);
            s.number = QString::fromUtf8(number);
            s.alias = QString::fromUtf8(alias);
            s.monitored = monitored;
        };
        set(1, "9030000001", "Мама", true);
        set(2, "9030000002", "Off", false);
        set(3, "9030000003", "", true);
        set(4, "9030000004", "  Дача  ", true);
    }
    QString history() const { return context.paths.historyFile(); }
};

} // namespace

TEST(HistoryWindow, PhoneListNamesSelectionAndRangeChoice)
{
    Fixture f;
    HistoryWindow window(f.context);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("История баланса"));
    EXPECT_EQ(window.minimumWidth(), 275);
    EXPECT_EQ(window.maximumWidth(), 275);

    // Monitored slots only, their numbers as labels (gaps stay gaps).
    const QList<QRadioButton *> buttons = window.phoneButtons();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons.at(0)->objectName(), QStringLiteral("rbPhone_1"));
    EXPECT_EQ(buttons.at(1)->objectName(), QStringLiteral("rbPhone_3"));
    EXPECT_EQ(buttons.at(2)->objectName(), QStringLiteral("rbPhone_4"));
    EXPECT_EQ(buttons.at(0)->text(), QStringLiteral("9030000001 (Мама)"));
    EXPECT_EQ(buttons.at(1)->text(), QStringLiteral("9030000003"));
    EXPECT_EQ(buttons.at(2)->text(), QStringLiteral("9030000004 (Дача)"));
    const auto *label3 = window.findChild<QLabel *>(QStringLiteral("lblNN_3"));
    ASSERT_TRUE(label3);
    EXPECT_EQ(label3->text(), QStringLiteral("3"));
    EXPECT_FALSE(window.findChild<QLabel *>(QStringLiteral("lblNN_2")));
    EXPECT_LT(buttons.at(0)->y(), buttons.at(1)->y());

    // The first phone is chosen when the window opens; a click chooses another.
    EXPECT_TRUE(buttons.at(0)->isChecked());
    EXPECT_EQ(window.selectedNumber(), QStringLiteral("9030000001"));
    EXPECT_EQ(window.selectedAlias(), QStringLiteral("Мама"));
    buttons.at(2)->click();
    EXPECT_EQ(window.selectedNumber(), QStringLiteral("9030000004"));
    EXPECT_EQ(window.selectedAlias(), QStringLiteral("  Дача  "));

    // Range: last requests when the window opens.
    EXPECT_TRUE(window.rbShowLastRequest->isChecked());
    EXPECT_EQ(window.rangeChoice(), (HistoryRangeChoice{HistoryRange::LastRequests, 50}));
    window.rbShowLastDays->click();
    EXPECT_EQ(window.rangeChoice(), (HistoryRangeChoice{HistoryRange::LastDays, 2}));
    window.rbShowAll->click();
    EXPECT_EQ(window.rangeChoice(), (HistoryRangeChoice{HistoryRange::All, 0}));

    // No monitored phone: an empty list and nothing selected.
    Fixture empty;
    for (int slot = 1; slot <= 4; ++slot)
        empty.context.phones.slot(slot).monitored = false;
    HistoryWindow none(empty.context);
    EXPECT_TRUE(none.phoneButtons().isEmpty());
    EXPECT_TRUE(none.selectedNumber().isEmpty());
}

TEST(HistoryWindow, TabFollowsTheReadingOrder)
{
    // Phone list, range choices with their fields, "Показать", "Excel"; in
    // a group of radio buttons Tab stops at the chosen one.
    Fixture f;
    HistoryWindow window(f.context);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.phoneButtons().first()->setFocus();
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, QStringList({"rbPhone_1", "rbShowLastRequest", "edLastRequest", "edLastDays",
                                  "bnShow", "bnExcel", "rbPhone_1"}));
    // The phone list also comes first on the screen.
    EXPECT_LT(window.phoneButtons().first()->mapTo(&window, QPoint()).y(),
              window.rbShowLastRequest->mapTo(&window, QPoint()).y());
}

TEST(HistoryWindow, RangeFieldsFilterKeysAndAreStoredWithThePlacement)
{
    Fixture f;
    IniFile &ini = f.context.settingsFile;
    ASSERT_TRUE(ini.writeString(HistoryFormSection, "edLastRequest", "abc"));
    ASSERT_TRUE(ini.writeString(HistoryFormSection, "edLastDays", "7"));
    ASSERT_TRUE(ini.writeInteger(HistoryFormSection, "Height", 420));
    {
        HistoryWindow window(f.context);
        EXPECT_EQ(window.edLastRequest->text(), QStringLiteral("50")); // not a number
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("7"));
        EXPECT_EQ(window.height(), 420); // only the stored height applies

        // A comma becomes a point; letters, signs and Backspace are dropped.
        window.show();
        window.edLastDays->setFocus();
        window.edLastDays->clear();
        QTest::keyClicks(window.edLastDays, QStringLiteral("1a,5-"));
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("1.5"));
        QTest::keyClick(window.edLastDays, Qt::Key_Backspace);
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("1.5"));
        // Keys that type nothing still edit; Delete too, also with the
        // text "\x7f" that X11 gives it.
        QTest::keyClick(window.edLastDays, Qt::Key_Left);
        QTest::keyClick(window.edLastDays, Qt::Key_Delete);
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("1."));
        window.edLastDays->setText(QStringLiteral("1.55"));
        window.edLastDays->setCursorPosition(3);
        QKeyEvent x11Delete(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
        QApplication::sendEvent(window.edLastDays, &x11Delete);
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("1.5"));
        window.edLastDays->setText(QStringLiteral("1."));
        QTest::keyClicks(window.edLastDays, QStringLiteral("0"));
        EXPECT_EQ(window.edLastDays->text(), QStringLiteral("1.0"));
        // Not a whole number: the default count.
        window.rbShowLastDays->click();
        EXPECT_EQ(window.rangeChoice(), (HistoryRangeChoice{HistoryRange::LastDays, 2}));
        window.edLastRequest->setText(QStringLiteral("12"));
        window.move(33, 44);
    }
    EXPECT_EQ(ini.readString(HistoryFormSection, "edLastRequest", ""), QStringLiteral("12"));
    EXPECT_EQ(ini.readString(HistoryFormSection, "edLastDays", ""), QStringLiteral("1.0"));
    EXPECT_EQ(ini.readInteger(HistoryFormSection, "Height", 0), 420);
    EXPECT_EQ(ini.readInteger(HistoryFormSection, "Left", 0), 33);
    EXPECT_EQ(ini.readInteger(HistoryFormSection, "Top", 0), 44);
    EXPECT_FALSE(
        ini.keys(HistoryFormSection).contains(QStringLiteral("Width"), Qt::CaseInsensitive));

    // Esc closes the window, also from a range field.
    HistoryWindow again(f.context);
    EXPECT_EQ(again.edLastDays->text(), QStringLiteral("1.0"));
    EXPECT_EQ(again.pos(), QPoint(33, 44));
    again.show();
    again.edLastRequest->setFocus();
    QTest::keyClick(again.edLastRequest, Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(again.result(), QDialog::Rejected);
}

TEST(HistoryPhoneWindow, RowsHeaderColumnWidthsAndDaySeparators)
{
    Fixture f;
    ASSERT_TRUE(
        WriteHistoryRows(f.history(), {MakeHistoryRow("9030000001", at(2024, 5, 4, 10, 0), 1),
                                       MakeHistoryRow("9030000001", at(2024, 5, 5, 8, 0), 2),
                                       MakeHistoryRow("9030000001", at(2024, 5, 5, 9, 0), 3)}));
    Answers answers;
    PhoneHistoryWindow window(f.history());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("История баланса по телефону"));
    EXPECT_EQ(PhoneHistoryWindow::current(), &window);
    ASSERT_TRUE(window.loadHistory("9030000001", "Мама", {HistoryRange::All, 0}));
    EXPECT_TRUE(answers.messages.isEmpty());
    EXPECT_EQ(window.plHeader->text(), QStringLiteral("Телефон 9030000001 (Мама)"));
    ASSERT_EQ(window.model()->rowCount(), 3);
    EXPECT_EQ(window.model()->cellText(0, 2), QStringLiteral("3.00"));
    EXPECT_EQ(window.model()->cellText(1, 0), QStringLiteral(" "));

    // Each column as wide as its title + 10 in the grid's font, or more when
    // the title row or a value needs it (tst_CaptionsFit checks those).
    const QFontMetrics metrics(window.sgHistory->font());
    const QStringList titles = HistoryTableModel::titles();
    for (int c = 0; c < titles.size(); ++c) {
        const int width = window.sgHistory->horizontalHeader()->sectionSize(c);
        EXPECT_GE(width, metrics.horizontalAdvance(titles.at(c)) + 10) << c;
        EXPECT_LE(width, metrics.horizontalAdvance(titles.at(c)) + 20) << c;
    }

    // The navy line is drawn along the top of the first row of an older
    // day, and not above a row of the same day.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage image = window.sgHistory->viewport()->grab().toImage();
    const auto topPixel = [&](int row) {
        const QRect r = window.sgHistory->visualRect(window.model()->index(row, 1));
        return QColor(
            image.pixel(image.width() * r.center().x() / window.sgHistory->viewport()->width(),
                        image.height() * r.top() / window.sgHistory->viewport()->height()));
    };
    EXPECT_EQ(topPixel(2), QColor(0x00, 0x00, 0x80));
    EXPECT_NE(topPixel(1), QColor(0x00, 0x00, 0x80));
    // The title row gets the line along its top edge as well.
    QHeaderView *header = window.sgHistory->horizontalHeader();
    const QImage titleImage = header->viewport()->grab().toImage();
    const int titleX = header->sectionViewportPosition(1) + header->sectionSize(1) / 2;
    EXPECT_EQ(
        QColor(titleImage.pixel(titleImage.width() * titleX / header->viewport()->width(), 0)),
        QColor(0x00, 0x00, 0x80));

    // A second window while one exists is not opened.
    bool opened = false;
    QTimer::singleShot(0, [&] { opened = QApplication::activeModalWidget() != nullptr; });
    showHistoryPhoneModal(f.history(), "9030000001", "", {HistoryRange::All, 0}, nullptr);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST(HistoryPhoneWindow, WarningsForNoHistoryMissingFileAndBrokenDatabase)
{
    Fixture f;
    Answers answers;
    {
        // No history file: the not-found warning, the window still opens
        // empty, and no database appears.
        PhoneHistoryWindow window(f.history());
        EXPECT_TRUE(window.loadHistory("9030000003", "", {HistoryRange::LastRequests, 50}));
        EXPECT_EQ(window.plHeader->text(), QStringLiteral("Телефон 9030000003"));
        ASSERT_EQ(answers.messages.size(), 1);
        EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Warning);
        EXPECT_EQ(answers.messages.at(0).text,
                  QStringLiteral("История по выбранному телефону не найдена!"));
        EXPECT_EQ(window.model()->rowCount(), 0);
        EXPECT_FALSE(QFileInfo::exists(f.history()));
    }
    {
        // A file that is no database: its error, and the window stays shut.
        f.dir.write(QStringLiteral("Zelvant.mdb"), QByteArray(2048, 'z'));
        answers.messages.clear();
        PhoneHistoryWindow window(f.history());
        EXPECT_FALSE(window.loadHistory("9030000003", "", {HistoryRange::All, 0}));
        ASSERT_EQ(answers.messages.size(), 1);
        EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Error);
    }
    EXPECT_EQ(PhoneHistoryWindow::current(), nullptr);
}

TEST(HistoryWindow, ShowOpensTheChosenRangeAndThePhonesWindowAlwaysAsksForFifty)
{
    Fixture f;
    QList<HistoryRow> rows;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 60; ++i)
        rows << MakeHistoryRow("9030000004", now.addSecs(-3600 * (60 - i)), i);
    ASSERT_TRUE(WriteHistoryRows(f.history(), rows));
    Answers answers;

    HistoryWindow window(f.context);
    window.phoneButtons().at(2)->click();
    window.edLastRequest->setText(QStringLiteral("5"));
    int shown = -1;
    QString header;
    whenHistoryPhoneOpens([&](PhoneHistoryWindow *w) {
        shown = w ? w->model()->rowCount() : -2;
        header = w ? w->plHeader->text() : QString();
    });
    window.bnShow->click();
    EXPECT_EQ(shown, 5);
    EXPECT_EQ(header, QStringLiteral("Телефон 9030000004 (Дача)"));

    window.edLastDays->setText(QStringLiteral("1"));
    window.rbShowLastDays->click();
    whenHistoryPhoneOpens([&](PhoneHistoryWindow *w) { shown = w ? w->model()->rowCount() : -2; });
    window.bnShow->click();
    EXPECT_TRUE(shown == 23 || shown == 24) << shown; // rows of the last 24 hours

    // A double click on a phone shows its history at once.
    window.rbShowAll->click();
    whenHistoryPhoneOpens([&](PhoneHistoryWindow *w) { shown = w ? w->model()->rowCount() : -2; });
    QTest::mouseDClick(window.phoneButtons().at(2), Qt::LeftButton);
    EXPECT_EQ(shown, 60);

    // From the phones window: the last 50, whatever the fields hold.
    whenHistoryPhoneOpens([&](PhoneHistoryWindow *w) { shown = w ? w->model()->rowCount() : -2; });
    showPhoneHistory(f.context, 4);
    EXPECT_EQ(shown, 50);
    EXPECT_TRUE(answers.messages.isEmpty());

    // A phone without history: the warning, and the (empty) window opens.
    whenHistoryPhoneOpens([&](PhoneHistoryWindow *w) { shown = w ? w->model()->rowCount() : -2; });
    showPhoneHistory(f.context, 1);
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Warning);
}

TEST(HistoryWindow, ExportThroughTheFileQuestion)
{
    Fixture f;
    const QDateTime now = QDateTime::currentDateTime();
    ASSERT_TRUE(WriteHistoryRows(f.history(), {MakeHistoryRow("9030000001", now.addSecs(-60), 7),
                                               MakeHistoryRow("9030000001", now, 8)}));
    Answers answers;
    HistoryWindow window(f.context);

    // Cancel: nothing happens.
    window.bnExcel->click();
    EXPECT_EQ(answers.suggestions, QStringList{QStringLiteral("9030000001 (Мама).xlsx")});
    EXPECT_TRUE(answers.messages.isEmpty());

    // A new file, named without the extension: written, and the success message.
    answers.savePath = f.dir.file(QStringLiteral("history"));
    window.bnExcel->click();
    const QString written = f.dir.file(QStringLiteral("history.xlsx"));
    ASSERT_TRUE(QFileInfo::exists(written));
    EXPECT_EQ(ReadXlsx(written).lastRow, 3);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Information);
    EXPECT_EQ(answers.messages.at(0).text,
              QStringLiteral("История успешно конвертирована в Excel"));

    // An existing file: the question; No leaves it alone.
    answers.messages.clear();
    f.dir.write(QStringLiteral("old.xlsx"), "old");
    answers.savePath = f.dir.file(QStringLiteral("old.xlsx"));
    answers.questionAnswers = {false};
    window.bnExcel->click();
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Question);
    EXPECT_EQ(answers.messages.at(0).text, QStringLiteral("Файл \"%1\" существует! Перезаписать?")
                                               .arg(QDir::toNativeSeparators(answers.savePath)));
    EXPECT_EQ(f.dir.read(QStringLiteral("old.xlsx")), QByteArray("old"));

    // Yes, but the chosen phone has no history: the warning, and the old
    // file is kept rather than lost.
    answers.messages.clear();
    answers.questionAnswers = {true};
    window.phoneButtons().at(1)->click();
    window.bnExcel->click();
    ASSERT_EQ(answers.messages.size(), 2);
    EXPECT_EQ(answers.messages.at(1).kind, MessageKind::Warning);
    EXPECT_EQ(answers.messages.at(1).text,
              QStringLiteral("История по выбранному телефону не найдена!"));
    EXPECT_EQ(f.dir.read(QStringLiteral("old.xlsx")), QByteArray("old"));

    // Yes with history: replaced.
    answers.messages.clear();
    answers.questionAnswers = {true};
    window.phoneButtons().at(0)->click();
    window.bnExcel->click();
    EXPECT_TRUE(ReadXlsx(answers.savePath).ok);

    // Something that cannot be replaced: the cannot-overwrite error.
    answers.messages.clear();
    ASSERT_TRUE(QDir().mkpath(f.dir.file(QStringLiteral("folder.xlsx"))));
    answers.savePath = f.dir.file(QStringLiteral("folder.xlsx"));
    answers.questionAnswers = {true};
    window.bnExcel->click();
    ASSERT_EQ(answers.messages.size(), 2);
    EXPECT_EQ(answers.messages.at(1).kind, MessageKind::Error);
    EXPECT_EQ(
        answers.messages.at(1).text,
        QStringLiteral("Файл \"%1\" не может быть перезаписан.\nВозможно он уже открыт в Excel")
            .arg(QDir::toNativeSeparators(answers.savePath)));
    EXPECT_TRUE(QFileInfo(answers.savePath).isDir());
}

TEST(AllPhonesExport, InteractiveExportReportsSuccessAndFailure)
{
    Fixture f;
    f.context.results[1].phoneNumber = QStringLiteral("9030000001");
    f.context.results[1].balance = 5.5f;
    f.context.results[1].lastQueryTime = QDateTime::currentDateTime();
    Answers answers;

    exportAllPhonesInteractive(f.context); // cancelled
    EXPECT_EQ(answers.suggestions, QStringList{QString()});
    EXPECT_TRUE(answers.messages.isEmpty());

    answers.savePath = f.dir.file(QStringLiteral("all.xlsx"));
    exportAllPhonesInteractive(f.context);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Information);
    EXPECT_EQ(answers.messages.at(0).text,
              QStringLiteral("Текущие данные по всем телефонам успешно записаны в Excel"));
    const XlsxContents x = ReadXlsx(answers.savePath);
    EXPECT_EQ(x.lastRow, 4); // slots 1, 3 and 4
    EXPECT_EQ(x.cell("D2").number(), 5.5);

    answers.messages.clear();
    answers.savePath = f.dir.file(QStringLiteral("gone/all.xlsx"));
    exportAllPhonesInteractive(f.context);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages.at(0).kind, MessageKind::Error);
    EXPECT_FALSE(QFileInfo::exists(f.dir.file(QStringLiteral("gone"))));
}
