// The fixed dialogs: their size does not follow what they show, they open in
// the middle of the screen and fit on it; a login address too long for the
// region choice dialog is elided in the middle and shown whole in its tip.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScreen>

#include <functional>
#include <memory>

#include "core/ProgramInfo.h"
#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "gui/AboutBox.h"
#include "gui/ElidedLabel.h"
#include "gui/RegionChoiceDialog.h"
#include "gui/RegionEntryDialog.h"
#include "gui/SetupWindow.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

// A query as long as some regional addresses carry.
const QString LongUrl =
    DefaultLoginUrl + QStringLiteral("&lang=ru&region=77&return=")
    + QStringLiteral("https%3A%2F%2Flumo.orvel.example%2Fcabinet%2Fbalance%3Fsession%3D")
          .repeated(3)
    + QStringLiteral("0123456789abcdef");

class DialogGeometry : public ::testing::Test
{
protected:
    DialogGeometry()
    {
        folder.write(QStringLiteral("servers.ini"),
                     toWindows1251(QStringLiteral("[Orvel - Урал]\r\nLoginURL=%1\r\n"
                                                  "ShortName=УРЛ\r\n")
                                       .arg(LongUrl)));
        context = std::make_unique<AppContext>(AppPaths::forFolder(folder.path()));
    }

    static void selectRegion(QDialog *dialog, const QString &name)
    {
        auto *list = dialog->findChild<QComboBox *>(QStringLiteral("cbLumoLongName"));
        list->setCurrentIndex(list->findText(name));
    }

    TempFolder folder;
    std::unique_ptr<AppContext> context;
};

// Widgets inside a scrolling area may lie beyond its visible part.
bool scrolls(const QWidget *widget, const QWidget *window)
{
    for (const QWidget *w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
        if (w->inherits("QAbstractScrollArea"))
            return true;
    }
    return false;
}

} // namespace

TEST_F(DialogGeometry, FixedInSizeCentredAndOnTheScreen)
{
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<QDialog>()> open;
        // What the user does while the dialog is open.
        std::function<void(QDialog *)> change;
    };
    const Case cases[] = {
        {"region choice", [&] { return std::make_unique<RegionChoiceDialog>(context->regions); },
         [](QDialog *d) { selectRegion(d, QStringLiteral("Orvel - Урал")); }},
        {"region entry", [] { return std::make_unique<RegionEntryDialog>(); },
         [](QDialog *d) {
             static_cast<RegionEntryDialog *>(d)->setValues(
                 QStringLiteral("Orvel - Урал ").repeated(8), QStringLiteral("УРЛ"), LongUrl);
         }},
        {"about box", [] { return std::make_unique<AboutBox>(std::function<void()>()); },
         [](QDialog *) {}},
        {"setup window", [&] { return std::make_unique<SetupWindow>(*context); }, [](QDialog *) {}},
    };
    for (const Case &c : cases) {
        std::unique_ptr<QDialog> dialog = c.open();
        dialog->show();
        QApplication::processEvents();
        const QSize opened = dialog->size();
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << c.name << " is not fixed";
        c.change(dialog.get());
        QApplication::processEvents();
        EXPECT_EQ(dialog->size(), opened) << c.name;

        const QRect screen = dialog->screen()->availableGeometry();
        const QRect frame = dialog->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << c.name;
        EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 2) << c.name;
        for (const QWidget *child : dialog->findChildren<QWidget *>()) {
            if (!child->isVisible() || child->window() != dialog.get()
                || scrolls(child, dialog.get()))
                continue;
            EXPECT_TRUE(
                dialog->rect().contains(QRect(child->mapTo(dialog.get(), QPoint()), child->size())))
                << c.name << ": " << qPrintable(child->objectName()) << " lies outside";
        }
    }
}

TEST_F(DialogGeometry, LongAddressIsElidedInTheMiddleAndWholeInTheTip)
{
    RegionChoiceDialog dialog(context->regions);
    dialog.show();
    QApplication::processEvents();
    auto *address = dialog.findChild<ElidedLabel *>(QStringLiteral("lblLumoUrl"));
    ASSERT_NE(address, nullptr);
    // The built-in address is shown whole.
    EXPECT_EQ(address->text(), DefaultLoginUrl);

    selectRegion(&dialog, QStringLiteral("Orvel - Урал"));
    QApplication::processEvents();
    const QString shown = address->text();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << qPrintable(shown);
    const qsizetype ellipsis = shown.indexOf(QChar(0x2026));
    EXPECT_TRUE(LongUrl.startsWith(shown.left(ellipsis))) << qPrintable(shown);
    EXPECT_TRUE(LongUrl.endsWith(shown.mid(ellipsis + 1))) << qPrintable(shown);
    EXPECT_GT(ellipsis, 10);
    EXPECT_GT(shown.size() - ellipsis, 10) << "elided in the middle, not at an end";
    EXPECT_LE(address->fontMetrics().horizontalAdvance(shown), address->contentsRect().width());
    EXPECT_EQ(address->toolTip(), LongUrl);
    EXPECT_EQ(address->fullText(), LongUrl);
    EXPECT_EQ(dialog.chosenShortName(), QStringLiteral("УРЛ"));
}
