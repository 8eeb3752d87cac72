// The setup window, driven through its controls as a user would.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "core/config/AppContext.h"
#include "core/config/SettingsTable.h"
#include "gui/RegionChoiceDialog.h"
#include "gui/SetupWindow.h"
#include "gui/TrayController.h"
#include "support/DialogDriver.h"
#include "support/FakeAutoStart.h"
#include "support/RecordingTray.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

class SetupWindowTest : public ::testing::Test
{
protected:
    SetupWindowTest()
        : context(AppPaths::forFolder(folder.path()))
    {
    }

    // Stores a phone list as the program would and makes it current.
    void storePhones(const PhoneList &phones)
    {
        ASSERT_TRUE(savePhones(phones, context.paths.phonesFile(), context.paths.errorLogFile()));
        context.phones = phones;
    }
    PhoneList storedPhones() const
    {
        PhoneList phones;
        loadPhones(phones, context.paths.phonesFile());
        return phones;
    }

    template<typename T>
    T *child(const QString &name)
    {
        T *w = window->findChild<T *>(name);
        EXPECT_NE(w, nullptr) << qPrintable(name);
        return w;
    }
    QLineEdit *edit(const char *name, int row = 0)
    {
        return child<QLineEdit>(row ? QString::fromLatin1(name) + QString::number(row)
                                    : QString::fromLatin1(name));
    }
    QCheckBox *box(const char *name, int row = 0)
    {
        return child<QCheckBox>(row ? QString::fromLatin1(name) + QString::number(row)
                                    : QString::fromLatin1(name));
    }
    QRadioButton *trayButton(int row)
    {
        return child<QRadioButton>(QStringLiteral("rbTrayShow_") + QString::number(row));
    }
    QPushButton *button(const QString &name) { return child<QPushButton>(name); }
    QTabWidget *pages() { return child<QTabWidget>(QStringLiteral("SetupPages")); }
    QString currentPage() { return pages()->tabText(pages()->currentIndex()); }

    void click(QAbstractButton *b)
    {
        ASSERT_NE(b, nullptr);
        if (qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b)) {
            // Check boxes and radio buttons react to the box, not to the
            // middle of a wide caption.
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
        } else {
            QTest::mouseClick(b, Qt::LeftButton);
        }
    }
    void save() { click(button(QStringLiteral("bnOK"))); }
    void type(QLineEdit *e, const QString &text)
    {
        ASSERT_NE(e, nullptr);
        e->setFocus();
        TypeText(e, text);
    }
    int show(std::function<void()> body) { return ExecWith(*window, std::move(body)); }

    TempFolder folder;
    AppContext context;
    RecordingMessageBoxes boxes;
    std::unique_ptr<SetupWindow> window;

    void create() { window = std::make_unique<SetupWindow>(context); }
};

PhoneSlot Phone(const char *number, const char *password, bool monitor, const char *alias = "",
                const QString &region = DefaultShortName)
{
    PhoneSlot s;
    s.number = QString::fromLatin1(number);
    s.password = QString::fromLatin1(password);
    s.alias = QString::fromUtf8(alias);
    s.monitored = monitor;
    s.region = region;
    return s;
}

} // namespace

TEST_F(SetupWindowTest, FirstStartShowsDefaultsEmptyGreyedRowsAndTheConnectionPage)
{
    create();
    const int result = show([&] {
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Настройка программы Zelvant"));
        EXPECT_EQ(currentPage(), QStringLiteral("Соединение"));
        for (int a : {1, 2, 50, 100}) {
            EXPECT_TRUE(edit("edNumber_", a)->text().isEmpty());
            EXPECT_FALSE(edit("edNumber_", a)->isEnabled()) << "row " << a << " greyed";
            EXPECT_FALSE(box("cbMonitor_", a)->isChecked());
            EXPECT_TRUE(box("cbMonitor_", a)->isEnabled());
            EXPECT_EQ(button(QStringLiteral("bnLumo_%1").arg(a))->text(), QStringLiteral("МСК"));
            EXPECT_FALSE(trayButton(a)->isChecked());
        }
        auto *notShown = child<QRadioButton>(QStringLiteral("rbTrayNotShow"));
        EXPECT_TRUE(notShown->isChecked());
        EXPECT_EQ(notShown->text(), QStringLiteral("  Не показывать значение баланса в трее"));
        EXPECT_EQ(edit("edPassword_", 1)->echoMode(), QLineEdit::Password);
        // The design's password character, whatever the style draws.
        edit("edPassword_", 1)->setText(QStringLiteral("123"));
        EXPECT_EQ(edit("edPassword_", 1)->displayText(), QStringLiteral("***"));
        // No longer than the phone list keeps, and saying so.
        EXPECT_EQ(edit("edPassword_", 1)->maxLength(), 15);
        EXPECT_EQ(edit("edPassword_", 1)->toolTip(),
                  QStringLiteral("Не более 15 символов: столько хранит файл телефонов"));
        // The keyring takes any length; a longer password is not cut when
        // the box is unticked again (the save refuses it).
        EXPECT_FALSE(box("cbKeyring")->isChecked()); // portable
        box("cbKeyring")->setChecked(true);
        edit("edPassword_", 1)->setText(QString(40, QLatin1Char('k')));
        EXPECT_EQ(edit("edPassword_", 1)->text().size(), 40);
        box("cbKeyring")->setChecked(false);
        EXPECT_EQ(edit("edPassword_", 1)->text().size(), 40);
        // Windows starts programs at its start, a Linux desktop at log-in.
#ifdef Q_OS_WIN
        EXPECT_EQ(box("cbAutoStart")->text(),
                  QStringLiteral("Запускать программу при запуске Windows"));
#else
        EXPECT_EQ(box("cbAutoStart")->text(),
                  QStringLiteral("Запускать программу при входе в систему"));
#endif

        // Every setting has its control, named by its key; they hold the defaults.
        for (const Setting &s : settingsTable())
            EXPECT_NE(window->findChild<QWidget *>(s.keyName()), nullptr) << s.key;
        EXPECT_TRUE(box("cbAlias")->isChecked());
        EXPECT_FALSE(box("cbNN")->isChecked());
        EXPECT_TRUE(box("cbBalans")->isChecked());
        EXPECT_FALSE(box("cbBalans")->isEnabled());
        EXPECT_EQ(edit("edBalanceLessThen")->text(), QStringLiteral("2.5"));
        EXPECT_EQ(edit("edTurnOffLessThen")->text(), QStringLiteral("2"));
        EXPECT_TRUE(edit("edBalanceLessThen")->isEnabled());
        EXPECT_EQ(child<QComboBox>(QStringLiteral("cbRefreshTime"))->currentText(),
                  QStringLiteral("5"));
        EXPECT_EQ(child<QLabel>(QStringLiteral("lblRefresh_a"))->text(), QStringLiteral("Каждые"));
        EXPECT_EQ(child<QLabel>(QStringLiteral("lblRefresh_b"))->text(), QStringLiteral("часов"));
        EXPECT_FALSE(box("cbRequestNow")->isChecked());
        EXPECT_TRUE(window->isVisible());

        // Retries and notifications are on, the reason column off; the grown
        // pages show every choice whole.
        EXPECT_TRUE(box("cbRetryFailed")->isChecked());
        EXPECT_TRUE(box("cbNotifyLowBalance")->isChecked());
        EXPECT_TRUE(box("cbNotifyFailures")->isChecked());
        EXPECT_FALSE(box("cbFailReason")->isChecked());
        const std::pair<const char *, int> grown[] = {
            {"cbLastQueryTime", 0},  {"cbFailReason", 0},         {"cbMarkIfTurnOff", 0},
            {"cbRetryFailed", 1},    {"cbLoadHistory", 1},        {"cbNotifyLowBalance", 1},
            {"cbNotifyFailures", 1}, {"cbNotifyUnusualSpend", 1}, {"cbDailySpend", 0}};
        for (const auto &[name, index] : grown) {
            QCheckBox *b = box(name);
            QWidget *page = pages()->widget(index);
            // A page is laid out when it is shown.
            pages()->setCurrentIndex(index);
            QCoreApplication::processEvents();
            const QRect onPage(b->mapTo(page, QPoint(0, 0)), b->size());
            EXPECT_TRUE(page->rect().contains(onPage)) << name;
            EXPECT_GE(b->width(), b->sizeHint().width()) << name << " is cut";
        }

        // The warning lights up while the mouse is over it.
        auto *warning = child<QLabel>(QStringLiteral("lblWarning"));
        auto *group = qobject_cast<QWidget *>(warning->parent());
        EXPECT_TRUE(warning->text().contains(QStringLiteral("30 кб")));
        auto colors = [&] {
            return std::pair(group->palette().color(QPalette::WindowText),
                             warning->palette().color(QPalette::WindowText));
        };
        EXPECT_EQ(colors(), std::pair(QColor(128, 64, 64), QColor(128, 128, 128)));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(warning, &enter);
        EXPECT_EQ(colors(), std::pair(QColor(Qt::red), QColor(Qt::black)));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(warning, &leave);
        EXPECT_EQ(colors(), std::pair(QColor(128, 64, 64), QColor(128, 128, 128)));
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(context.paths.phonesFile())) << "nothing written without a save";
    EXPECT_TRUE(edit("edPassword_", 1)->text().isEmpty()) << "no password kept once closed";
}

TEST_F(SetupWindowTest, RowsFollowTheirGeometryAndKeyboardOrder)
{
    create();
    // The design: rows 21 high from 5 down, columns 25, 17, 17, 90, 60, 100
    // and 35 wide with gaps of 3, 5, 7, 0, 0 and 8 (lefts 0, 28, 50, 74, 164,
    // 224, 332). Those sizes are minimums: a column is as wide as its title
    // needs in the font in use, and the gaps stay.
    const struct
    {
        const char *prefix;
        int gap;
        int width;
        const char *title;
    } columns[] = {
        {"plNN__", 0, 25, nullptr},
        {"cbMonitor_", 3, 17, "lblTurnOnOff"},
        {"rbTrayShow_", 5, 17, nullptr},
        {"edNumber_", 7, 90, "lblNumber"},
        {"edPassword_", 0, 60, "lblPassword"},
        {"edAlias_", 0, 100, "lblAlias"},
        {"bnLumo_", 8, 35, "lblLumo"},
    };
    const int rowHeight = child<QWidget>(QStringLiteral("plNN__1"))->height();
    EXPECT_GE(rowHeight, 21);
    for (int a : {1, 3, 100}) {
        int left = 0;
        for (const auto &c : columns) {
            auto *w = child<QWidget>(QString::fromLatin1(c.prefix) + QString::number(a));
            ASSERT_NE(w, nullptr);
            left += c.gap;
            EXPECT_EQ(w->pos(), QPoint(left, rowHeight * (a - 1) + 5)) << c.prefix << a;
            EXPECT_GE(w->width(), c.width) << c.prefix << a;
            EXPECT_EQ(w->height(), rowHeight) << c.prefix << a;
            if (c.title) {
                auto *title = child<QLabel>(QString::fromLatin1(c.title));
                EXPECT_GE(w->width(), title->fontMetrics().horizontalAdvance(title->text()))
                    << c.title;
            }
            left += w->width();
        }
    }
    EXPECT_EQ(child<QLabel>(QStringLiteral("plNN__7"))->text(), QStringLiteral("7"));
    auto *notShown = child<QRadioButton>(QStringLiteral("rbTrayNotShow"));
    EXPECT_EQ(notShown->y(), rowHeight * 99 + 5 + rowHeight + 3);
    const QWidget *lastRegion = child<QWidget>(QStringLiteral("bnLumo_100"));
    EXPECT_GE(window->width(), std::max(402, lastRegion->geometry().right() + 1 + 35));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";

    // Keyboard order: Monitor, tray, number, password, alias, region, next row.
    QWidget *w = box("cbMonitor_", 1);
    const QStringList expected{QStringLiteral("rbTrayShow_1"), QStringLiteral("edNumber_1"),
                               QStringLiteral("edPassword_1"), QStringLiteral("edAlias_1"),
                               QStringLiteral("bnLumo_1"),     QStringLiteral("cbMonitor_2"),
                               QStringLiteral("rbTrayShow_2")};
    for (const QString &name : expected) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        EXPECT_EQ(w->objectName(), name);
    }
}

TEST_F(SetupWindowTest, KeyFiltersOfNumberPasswordAndThresholds)
{
    create();
    show([&] {
        EXPECT_FALSE(edit("edNumber_", 1)->isEnabled());
        click(box("cbMonitor_", 1));
        type(edit("edNumber_", 1), QStringLiteral("+7 (916) abc-12"));
        EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("+7916-12"));
        type(edit("edPassword_", 1), QStringLiteral("pa55-+x"));
        EXPECT_EQ(edit("edPassword_", 1)->text(), QStringLiteral("55-+"));
        QTest::keyClick(edit("edPassword_", 1), Qt::Key_Backspace);
        EXPECT_EQ(edit("edPassword_", 1)->text(), QStringLiteral("55-"));

        QLineEdit *balance = edit("edBalanceLessThen");
        balance->selectAll();
        type(balance, QStringLiteral("2,75"));
        EXPECT_EQ(balance->text(), QStringLiteral("2.75"));
        type(balance, QStringLiteral(",1 x"));
        EXPECT_EQ(balance->text(), QStringLiteral("2.751")) << "one decimal point only";
        balance->selectAll();
        type(balance, QStringLiteral("3,"));
        EXPECT_EQ(balance->text(), QStringLiteral("3.")) << "a replaced point may be retyped";

        QLineEdit *turnOff = edit("edTurnOffLessThen");
        turnOff->selectAll();
        type(turnOff, QStringLiteral("1a-4.2"));
        EXPECT_EQ(turnOff->text(), QStringLiteral("142"));

        // The thresholds are editable exactly while their box is ticked.
        pages()->setCurrentIndex(0);
        click(box("cbMarkIfBalance"));
        EXPECT_FALSE(balance->isEnabled());
        EXPECT_TRUE(turnOff->isEnabled());
        click(box("cbMarkIfTurnOff"));
        EXPECT_FALSE(turnOff->isEnabled());
        click(box("cbMarkIfBalance"));
        EXPECT_TRUE(balance->isEnabled());
        save();
    });
    EXPECT_EQ(window->options().edBalanceLessThen, QStringLiteral("3."));
    EXPECT_EQ(window->options().edTurnOffLessThen, QStringLiteral("142"));
    EXPECT_TRUE(window->options().cbMarkIfBalance);
    EXPECT_FALSE(window->options().cbMarkIfTurnOff);
    EXPECT_EQ(context.phones.slot(1).number, QStringLiteral("+7916-12"));
}

TEST_F(SetupWindowTest, IntervalLabelsFollowTheChosenHours)
{
    Options daily;
    daily.cbRefreshTime = 7;
    context.options.apply(daily);
    create();
    show([&] {
        auto *hours = child<QComboBox>(QStringLiteral("cbRefreshTime"));
        auto *before = child<QLabel>(QStringLiteral("lblRefresh_a"));
        auto *after = child<QLabel>(QStringLiteral("lblRefresh_b"));
        EXPECT_EQ(hours->currentText(), QStringLiteral("24"));
        EXPECT_EQ(before->text() + after->text(), QStringLiteral("Каждыечаса"));
        hours->setFocus();
        QTest::keyClick(hours, Qt::Key_Home);
        EXPECT_EQ(hours->currentText(), QStringLiteral("3"));
        EXPECT_EQ(after->text(), QStringLiteral("часа"));
        QTest::keyClick(hours, Qt::Key_Down);
        QTest::keyClick(hours, Qt::Key_Down);
        EXPECT_EQ(hours->currentText(), QStringLiteral("5"));
        EXPECT_EQ(before->text(), QStringLiteral("Каждые"));
        EXPECT_EQ(after->text(), QStringLiteral("часов"));
        save();
    });
    EXPECT_EQ(window->options().cbRefreshTime, 2);
}

TEST_F(SetupWindowTest, TrayChoiceIsOneGroupOverAllRows)
{
    PhoneList phones;
    for (int a = 1; a <= 60; ++a)
        phones.slot(a) = Phone("1", "2", true);
    phones.setTrayShown(1);
    storePhones(phones);
    create();
    show([&] {
        auto *notShown = child<QRadioButton>(QStringLiteral("rbTrayNotShow"));
        EXPECT_TRUE(trayButton(1)->isChecked());
        EXPECT_FALSE(notShown->isChecked());
        click(trayButton(3));
        EXPECT_TRUE(trayButton(3)->isChecked());
        EXPECT_FALSE(trayButton(1)->isChecked());
        EXPECT_FALSE(notShown->isChecked());
        click(notShown);
        for (int a = 1; a <= PhoneSlotCount; ++a)
            ASSERT_FALSE(trayButton(a)->isChecked()) << a;
        click(trayButton(60));
        EXPECT_FALSE(notShown->isChecked());
        save();
    });
    EXPECT_EQ(context.phones.trayShownSlot(), 60);
    EXPECT_EQ(storedPhones().trayShownSlot(), 60);
}

TEST_F(SetupWindowTest, MissingNumbersAreReportedBeforeMissingPasswords)
{
    PhoneList phones;
    phones.slot(1) = Phone("111", "", false); // not monitored: not checked
    phones.slot(2) = Phone("222", "", true);
    storePhones(phones);
    const QByteArray before = folder.read(QStringLiteral("phones.xml"));
    create();
    const int result = show([&] {
        click(box("cbMonitor_", 70));
        save();
        ASSERT_EQ(boxes.errors, QStringList{QStringLiteral("Не заполнен номер телефона")});
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(currentPage(), QStringLiteral("Телефоны"));
        EXPECT_EQ(window->focusWidget(), edit("edNumber_", 70));
        // The offending field was scrolled into view.
        auto *area = child<QScrollArea>(QStringLiteral("scrlbxPhones"));
        const QPoint at = edit("edNumber_", 70)->mapTo(area->viewport(), QPoint(0, 0));
        EXPECT_TRUE(area->viewport()->rect().contains(at)) << at.y();

        type(edit("edNumber_", 70), QStringLiteral("333"));
        save();
        ASSERT_EQ(boxes.errors.size(), 2);
        EXPECT_EQ(boxes.errors.last(), QStringLiteral("Не заполнен пароль"));
        EXPECT_EQ(window->focusWidget(), edit("edPassword_", 2));
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(folder.read(QStringLiteral("phones.xml")), before) << "nothing stored yet";
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(context.phones, phones) << "a cancel applies nothing";
}

TEST_F(SetupWindowTest, GreyedRowsKeepAndSaveTheirContents)
{
    PhoneList phones;
    phones.slot(1) = Phone("9161112233", "12", true, "Мама");
    phones.slot(2) = Phone("9035556677", "34", false, "Дача");
    storePhones(phones);
    create();
    int result = show([&] {
        EXPECT_FALSE(edit("edNumber_", 2)->isEnabled());
        EXPECT_FALSE(trayButton(2)->isEnabled());
        EXPECT_FALSE(button(QStringLiteral("bnLumo_2"))->isEnabled());
        // The region caption is blue in a monitored row and greyed with the rest.
        auto captionColor = [&](int row) {
            QPushButton *b = button(QStringLiteral("bnLumo_%1").arg(row));
            return b->palette().color(b->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                      QPalette::ButtonText);
        };
        EXPECT_EQ(captionColor(1), QColor(Qt::blue));
        EXPECT_NE(captionColor(2), QColor(Qt::blue));
        EXPECT_EQ(edit("edAlias_", 2)->text(), QStringLiteral("Дача"));
        click(box("cbMonitor_", 1));
        EXPECT_FALSE(edit("edNumber_", 1)->isEnabled());
        EXPECT_FALSE(edit("edPassword_", 1)->isEnabled());
        EXPECT_FALSE(edit("edAlias_", 1)->isEnabled());
        EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("9161112233"));
        save();
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(context.phones.slot(1).monitored);
    EXPECT_EQ(context.phones.slot(1).alias, QStringLiteral("Мама"));
    const PhoneList stored = storedPhones();
    EXPECT_EQ(stored.slot(1).password, QStringLiteral("12"));
    EXPECT_EQ(stored.slot(2).number, QStringLiteral("9035556677"));

    result = show([&] {
        EXPECT_FALSE(edit("edNumber_", 1)->isEnabled());
        EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("9161112233"));
        EXPECT_EQ(edit("edPassword_", 1)->text(), QStringLiteral("12"));
        click(box("cbMonitor_", 2));
        EXPECT_TRUE(edit("edNumber_", 2)->isEnabled());
        EXPECT_TRUE(edit("edAlias_", 2)->isEnabled());
    });
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(SetupWindowTest, CancelEscAndCloseBoxApplyNothing)
{
    PhoneList phones;
    phones.slot(1) = Phone("9161112233", "12", true);
    storePhones(phones);
    Options options;
    options.cbNN = true;
    context.options.apply(options);
    const QByteArray file = folder.read(QStringLiteral("phones.xml"));
    create();

    auto editEverything = [&] {
        edit("edNumber_", 1)->selectAll();
        type(edit("edNumber_", 1), QStringLiteral("000"));
        click(box("cbMonitor_", 5));
        pages()->setCurrentIndex(0);
        click(box("cbNN"));
        click(box("cbRequestNow"));
    };
    EXPECT_EQ(show([&] {
                  editEverything();
                  click(button(QStringLiteral("bnCancel")));
              }),
              QDialog::Rejected);
    EXPECT_EQ(show([&] {
                  EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("9161112233"));
                  EXPECT_TRUE(box("cbNN")->isChecked());
                  EXPECT_FALSE(box("cbMonitor_", 5)->isChecked());
                  editEverything();
                  QTest::keyClick(window.get(), Qt::Key_Escape);
              }),
              QDialog::Rejected);
    EXPECT_EQ(show([&] {
                  EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("9161112233"));
                  editEverything();
                  window->close();
              }),
              QDialog::Rejected);
    EXPECT_TRUE(window->requestNow()) << "a ticked request box counts after a cancel too";
    EXPECT_EQ(context.options.values(), options);
    EXPECT_EQ(context.phones, phones);
    EXPECT_EQ(folder.read(QStringLiteral("phones.xml")), file);
    EXPECT_TRUE(boxes.errors.isEmpty());
}

TEST_F(SetupWindowTest, OkAppliesTheEditedCopyOnceAndCancelLeavesTheRunningProgram)
{
    // Opened from the tray, as the program does.
    RecordingTray tray;
    TrayControllerHooks hooks;
    hooks.startTimer = false;
    hooks.autoStart = std::make_unique<FakeAutoStart>();
    TrayController main(context, tray, std::move(hooks));
    main.startWork();
    const Options before = context.options.values();
    QSignalSpy changed(&context.options, &LiveOptions::changed);
    const auto editAndClose = [&main](const char *button) {
        WhenModal([&main, button](QDialog *setup) {
            // A tick of the schedule while the phone list is edited asks nothing.
            EXPECT_FALSE(main.runQueryCycle(CycleMode::AllPhones, -1, CycleSource::Timer));
            EXPECT_FALSE(main.cycle()->isRunning());
            setup->findChild<QCheckBox *>(QStringLiteral("cbNN"))->click();
            setup->findChild<QComboBox *>(QStringLiteral("cbRefreshTime"))->setCurrentIndex(0);
            setup->findChild<QPushButton *>(QLatin1String(button))->click();
        });
    };

    editAndClose("bnCancel");
    main.showSetupWindow();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(context.options.values(), before);
    EXPECT_FALSE(QFile::exists(context.paths.settingsFile()));

    editAndClose("bnOK");
    main.showSetupWindow();
    Options edited = before;
    edited.cbNN = true;
    edited.cbRefreshTime = 0;
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<Options>(), edited);
    EXPECT_EQ(changed[0][1].value<Options>(), before);
    EXPECT_EQ(context.options.values(), edited);
    EXPECT_EQ(loadSettings(context.settingsFile), edited);
    EXPECT_EQ(main.requestTimer().interval(), 3 * 3600 * 1000) << "the schedule follows";
}

TEST_F(SetupWindowTest, SaveWritesThePhonesKeepsTheEditedOptionsAndRemembersThePage)
{
    create();
    int result = show([&] {
        pages()->setCurrentIndex(2);
        click(box("cbMonitor_", 1));
        type(edit("edNumber_", 1), QStringLiteral("9161234567"));
        type(edit("edPassword_", 1), QStringLiteral("4321"));
        type(edit("edAlias_", 1), QStringLiteral("Work"));
        click(trayButton(1));
        pages()->setCurrentIndex(0);
        click(box("cbSMS"));
        click(box("cbFailReason"));
        auto *trayIcon = child<QComboBox>(QStringLiteral("cbTrayIcon"));
        EXPECT_EQ(trayIcon->currentText(), QStringLiteral("тёмный с контуром"));
        trayIcon->setCurrentIndex(trayIcon->findText(QStringLiteral("светлый")));
        pages()->setCurrentIndex(1);
        click(box("cbExecAfterRun"));
        click(box("cbNotifyFailures"));
        click(box("cbNotifyUnusualSpend"));
        EXPECT_FALSE(edit("edSpendFactor")->isEnabled()) << "its numbers go with the switch";
        click(box("cbRequestNow"));
        pages()->setCurrentIndex(2);
        save();
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(window->requestNow());
    EXPECT_TRUE(window->options().cbSMS);
    EXPECT_TRUE(window->options().cbExecAfterRun);
    EXPECT_TRUE(window->options().cbFailReason);
    EXPECT_FALSE(window->options().cbNotifyFailures);
    EXPECT_FALSE(window->options().cbNotifyUnusualSpend);
    EXPECT_TRUE(window->options().cbNotifyLowBalance);
    EXPECT_EQ(window->options().cbTrayIcon, TrayIconStyle::Light);
    EXPECT_EQ(context.phones.numberOf(1), QStringLiteral("9161234567"));
    EXPECT_TRUE(context.phones.isTrayShown(1));
    EXPECT_EQ(storedPhones(), context.phones);
    EXPECT_TRUE(boxes.errors.isEmpty());

    result = show([&] {
        EXPECT_EQ(currentPage(), QStringLiteral("Телефоны")) << "opens on the last page";
        EXPECT_FALSE(box("cbRequestNow")->isChecked());
        EXPECT_EQ(edit("edPassword_", 1)->text(), QStringLiteral("4321"));
        save();
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(window->requestNow());
}

TEST_F(SetupWindowTest, FailedWriteKeepsTheWindowOpenAndAppliesNothing)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("phones.xml")));
    create();
    const int result = show([&] {
        click(box("cbMonitor_", 1));
        type(edit("edNumber_", 1), QStringLiteral("1"));
        type(edit("edPassword_", 1), QStringLiteral("2"));
        click(box("cbRequestNow"));
        pages()->setCurrentIndex(0);
        click(box("cbNN"));
        save();
        ASSERT_EQ(boxes.errors.size(), 1);
        EXPECT_TRUE(boxes.errors.first().contains(QStringLiteral("phones.xml")))
            << qPrintable(boxes.errors.first());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(edit("edNumber_", 1)->text(), QStringLiteral("1")) << "the edits stay";
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(context.options.values(), Options());
    EXPECT_EQ(context.phones, PhoneList());
    EXPECT_TRUE(window->requestNow()) << "the ticked box still asks for a request";
}

TEST_F(SetupWindowTest, RegionButtonTakesTheRegionChosenInTheDialog)
{
    ASSERT_TRUE(context.regions.add({QStringLiteral("Orvel - Урал"), QStringLiteral("УРЛ"),
                                     QStringLiteral("https://ural.example/cgi-bin/cgi.exe")}));
    PhoneList phones;
    phones.slot(1) = Phone("1", "2", true);
    storePhones(phones);
    create();
    show([&] {
        QPushButton *region = button(QStringLiteral("bnLumo_1"));
        WhenModal([](QDialog *choice) {
            ASSERT_NE(qobject_cast<RegionChoiceDialog *>(choice), nullptr);
            auto *list = choice->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"));
            EXPECT_EQ(list->currentText(), QStringLiteral("Orvel - Москва"));
            list->setCurrentIndex(list->findText(QStringLiteral("Orvel - Урал")));
            QTest::mouseClick(choice->findChild<QPushButton *>(QStringLiteral("bnOK")),
                              Qt::LeftButton);
        });
        click(region);
        EXPECT_EQ(region->text(), QStringLiteral("УРЛ"));
        EXPECT_TRUE(window->isVisible());

        // Cancelling the dialog leaves the row as it is.
        WhenModal([](QDialog *choice) {
            auto *list = choice->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"));
            EXPECT_EQ(list->currentText(), QStringLiteral("Orvel - Урал"));
            list->setCurrentIndex(0);
            QTest::mouseClick(choice->findChild<QPushButton *>(QStringLiteral("bnCancel")),
                              Qt::LeftButton);
        });
        click(region);
        EXPECT_EQ(region->text(), QStringLiteral("УРЛ"));
        save();
    });
    EXPECT_EQ(context.phones.slot(1).region, QStringLiteral("УРЛ"));
    EXPECT_EQ(context.loginUrlOf(1), QStringLiteral("https://ural.example/cgi-bin/cgi.exe"));
}

TEST_F(SetupWindowTest, SavingAListLongerThanTheSlotsKeepsTheFileAndSaysSo)
{
    QByteArray file = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Phones>";
    for (int i = 1; i <= PhoneSlotCount + 2; ++i)
        file += "<Phone Number=\"" + QByteArray::number(i) + "\" Monitor=\"False\"/>";
    file += "</Phones>";
    folder.write(QStringLiteral("phones.xml"), file);
    create();
    const int result = show([&] {
        save();
        ASSERT_EQ(boxes.errors.size(), 1);
        EXPECT_TRUE(boxes.errors.first().contains(QStringLiteral("phones.xml.bak")))
            << qPrintable(boxes.errors.first());
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(folder.read(QStringLiteral("phones.xml.bak")), file);
    EXPECT_EQ(folder.read(QStringLiteral("phones.xml")).count("<Phone "), PhoneSlotCount);
}
