// Times what the setup window costs the program: building it with its 100
// phone rows (done once at start-up) and showing it (each time the user
// opens it: options and phone list loaded, window laid out and painted).
//
//   SetupWindowBench [rounds] [--grab DIR]
//
// Runs in a temporary folder with a full phone list of 100 phones. With
// --grab it also saves a picture of each page into DIR.

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/config/AppContext.h"
#include "gui/SetupWindow.h"

using namespace zelvant;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int rounds = 10;
    QString grabDir;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--grab") && i + 1 < args.size())
            grabDir = args[++i];
        else
            rounds = std::max(1, args[i].toInt());
    }

    QTemporaryDir folder;
    AppContext context(AppPaths::forFolder(folder.path()));
    for (int a = 1; a <= PhoneSlotCount; ++a) {
        PhoneSlot &s = context.phones.slot(a);
        s.number = QStringLiteral("9%1").arg(1000000000 + a);
        s.password = QString::number(1000 + a);
        s.alias = QStringLiteral("Телефон %1").arg(a);
        s.monitored = a % 3 != 0;
    }
    context.phones.setTrayShown(7);
    if (!savePhones(context.phones, context.paths.phonesFile(), context.paths.errorLogFile())) {
        std::fprintf(stderr, "cannot write the phone list\n");
        return 2;
    }

    std::vector<double> create, firstShow, show, phonesPage;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        SetupWindow window(context);
        create.push_back(timer.nsecsElapsed() / 1e6);

        // Showing: from exec() until the window has been painted once and the
        // event loop is idle again; then it is cancelled.
        for (int s = 0; s < 3; ++s) {
            QElapsedTimer shown;
            QTimer::singleShot(0, &window, [&] {
                window.repaint();
                const double ms = shown.nsecsElapsed() / 1e6;
                (s == 0 ? firstShow : show).push_back(ms);
                auto *pages = window.findChild<QTabWidget *>(QStringLiteral("SetupPages"));
                if (s == 0) {
                    // The rows become visible only when their page is opened.
                    QElapsedTimer page;
                    page.start();
                    pages->setCurrentIndex(2);
                    window.repaint();
                    phonesPage.push_back(page.nsecsElapsed() / 1e6);
                }
                pages->setCurrentIndex(1);
                if (!grabDir.isEmpty() && r == 0 && s == 0) {
                    for (int p = 0; p < pages->count(); ++p) {
                        pages->setCurrentIndex(p);
                        window.grab().save(
                            QStringLiteral("%1/setup-page%2.png").arg(grabDir).arg(p));
                    }
                    pages->setCurrentIndex(1);
                }
                window.reject();
            });
            shown.start();
            window.exec();
        }
    }
    std::printf("setup window, first round (cold) in ms: create %.1f, first show %.1f, "
                "first opening of the phones page %.1f\n",
                create.front(), firstShow.front(), phonesPage.front());
    std::printf("setup window, %d rounds, medians in ms\n", rounds);
    std::printf("  create (100 rows, 700 controls): %.1f\n", Median(create));
    std::printf("  first show (load files, polish, lay out, paint): %.1f\n", Median(firstShow));
    std::printf("  first opening of the phones page (100 rows shown): %.1f\n", Median(phonesPage));
    std::printf("  later show: %.1f\n", Median(show));
    return 0;
}
