// Nothing a window shows is cut, in the default font and in a 12-point one:
// captions, column titles and the values of the grids fit their room, every
// window fits the screen, and the phones window keeps all its columns in
// sight when more are switched on after the user sized it. Under the English
// translation no window shows a Russian word but the operator's own data.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>

#include <functional>
#include <memory>

#include "core/TextCodec.h"
#include "core/Translations.h"
#include "core/config/AppContext.h"
#include "core/config/Regions.h"
#include "gui/AboutBox.h"
#include "gui/HistoryWindow.h"
#include "gui/PhoneHistoryWindow.h"
#include "gui/PhonesWindow.h"
#include "gui/RegionChoiceDialog.h"
#include "gui/RegionEntryDialog.h"
#include "gui/SetupWindow.h"
#include "support/CutCaptions.h"
#include "support/RecordingTray.h"
#include "support/SampleWindows.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

// Every cut text of a shown window, page by page.
QStringList cutTextsOf(QWidget *window)
{
    QStringList cut;
    auto *pages = window->findChild<QTabWidget *>();
    for (int page = 0; page < (pages ? pages->count() : 1); ++page) {
        if (pages)
            pages->setCurrentIndex(page);
        QApplication::processEvents();
        cut << cutCaptions(window);
    }
    return cut;
}

class CaptionsFit : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        if (GetParam() > 0) {
            QFont font = QApplication::font();
            font.setPointSize(GetParam());
            QApplication::setFont(font);
        }
    }
    void TearDown() override { QApplication::setFont(m_font); }

private:
    const QFont m_font = QApplication::font();
};

} // namespace

TEST_P(CaptionsFit, NoWindowCutsItsTexts)
{
    for (const Window &w : Windows) {
        Data data;
        std::unique_ptr<QWidget> window = w.open(data);
        window->show();
        QApplication::processEvents();
        const QStringList cut = cutTextsOf(window.get());
        EXPECT_TRUE(cut.isEmpty())
            << w.name << ", " << cut.size()
            << " cut, first: " << qPrintable(cut.mid(0, 6).join(QStringLiteral("; ")));
        const QRect screen = window->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(window->frameGeometry()))
            << w.name << " " << window->frameGeometry().width() << "x"
            << window->frameGeometry().height();
        window->hide();
    }
}

TEST_P(CaptionsFit, PhonesWindowKeepsColumnsSwitchedOnLaterInSight)
{
    Data data;
    Options o = data.context->options.values();
    o.cbNN = o.cbUserName = o.cbPhoneNum = o.cbAverage = o.cbTurnOff = o.cbRecomend = false;
    o.cbSMS = o.cbMin = o.cbJeansBalExpired = o.cbLastQueryTime = false;
    data.context->options.apply(o);
    // The user made the window narrow once; its width is stored.
    WindowPlacement narrow;
    narrow.width = 150;
    ASSERT_TRUE(writeWindowPlacement(data.context->settingsFile, PhonesInfoSection, narrow));
    PhonesWindow window(*data.context, data.results);
    window.show();
    QApplication::processEvents();
    QScrollBar *sideways = window.table()->horizontalScrollBar();
    EXPECT_EQ(sideways->maximum(), 0) << "stored width " << window.width();

    // The setup window switches more columns on while the window is shown.
    o.cbPhoneNum = o.cbLastQueryTime = true;
    data.context->options.apply(o);
    window.buildGrid();
    window.fillGrid();
    QApplication::processEvents();
    EXPECT_EQ(sideways->maximum(), 0) << "width " << window.width();
    const int last = window.grid().columnCount() - 1;
    EXPECT_EQ(window.grid().title(last), QStringLiteral("Посл.запрос"));
    EXPECT_LE(window.table()->columnViewportPosition(last) + window.table()->columnWidth(last),
              window.table()->viewport()->width());
}

// What the user and a screen reader meet in a window: captions, titles,
// values, tips, list items, column titles and cells, the chart's words.
QStringList visibleTexts(const QWidget *window)
{
    QStringList texts{window->windowTitle()};
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        texts << w->toolTip() << w->accessibleName() << w->accessibleDescription();
        if (auto *l = qobject_cast<const QLabel *>(w))
            texts << l->text();
        else if (auto *b = qobject_cast<const QAbstractButton *>(w))
            texts << b->text();
        else if (auto *g = qobject_cast<const QGroupBox *>(w))
            texts << g->title();
        else if (auto *bar = qobject_cast<const QTabBar *>(w))
            for (int i = 0; i < bar->count(); ++i)
                texts << bar->tabText(i);
        else if (auto *c = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        else if (auto *e = qobject_cast<const QLineEdit *>(w))
            texts << e->text();
        else if (auto *t = qobject_cast<const QTableView *>(w)) {
            const QAbstractItemModel *m = t->model();
            for (int c = 0; c < m->columnCount(); ++c) {
                texts << m->headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < m->rowCount(); ++r)
                    texts << m->index(r, c).data().toString();
            }
        } else if (auto *v = qobject_cast<const QChartView *>(w)) {
            for (const QAbstractSeries *s : v->chart()->series())
                texts << s->name();
            for (QAbstractAxis *a : v->chart()->axes()) {
                texts << a->titleText();
                if (auto *category = qobject_cast<QCategoryAxis *>(a))
                    texts << category->categoriesLabels();
            }
        }
    }
    return texts;
}

TEST(EnglishInterface, NoWindowShowsRussianButTheOperatorsDataNorCutsItsTexts)
{
    ASSERT_TRUE(installTranslation(QStringLiteral("en")));
    // The names of the phones, their owners and the regions are the user's.
    const QStringList operatorData = {
        QStringLiteral("Дочь на даче"), QStringLiteral("Смирнова Анна Викторовна"),
        QStringLiteral("Orvel - Урал"), QStringLiteral("УРЛ"),
        defaultRegion().longName,       DefaultShortName};
    const QRegularExpression russian(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    for (const Window &w : Windows) {
        Data data;
        std::unique_ptr<QWidget> window = w.open(data);
        window->show();
        if (auto *history = qobject_cast<PhoneHistoryWindow *>(window.get()))
            history->findChild<QTabWidget *>()->setCurrentIndex(1); // the chart
        QApplication::processEvents();
        QStringList russianTexts;
        for (QString text : visibleTexts(window.get())) {
            for (const QString &own : operatorData)
                text.remove(own);
            if (text.contains(russian))
                russianTexts << text;
        }
        EXPECT_TRUE(russianTexts.isEmpty())
            << w.name << ": " << qPrintable(russianTexts.join(QStringLiteral(" | ")));
        const QStringList cut = cutTextsOf(window.get());
        EXPECT_TRUE(cut.isEmpty()) << w.name << ": " << qPrintable(cut.join(QStringLiteral("; ")));
    }
    installTranslation(QStringLiteral("ru"));
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionsFit, ::testing::Values(0, 12),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return info.param ? "Points" + std::to_string(info.param)
                                               : std::string("DefaultFont");
                         });
