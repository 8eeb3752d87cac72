// The tray program: one instance per desktop, the long-lived windows, the
// tray icon, the event loop.
#include "gui/TrayProgram.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "core/ErrorLog.h"
#include "core/SingleInstance.h"
#include "core/config/AppContext.h"
#include "core/config/AtomicWrite.h"
#include "core/config/PhoneList.h"
#include "core/tray/BalanceIcon.h"
#include "gui/SystemTray.h"
#include "gui/TrayController.h"

namespace zelvant {

int runTrayProgram(int argc, char *argv[])
{
    startStartupClock();
    // A second start on the same desktop ends here, silently, before it
    // even connects to the display.
    SingleInstanceLock lock(ProgramTitle);
    if (!lock.tryAcquire())
        return 0;

    QApplication app(argc, argv);
    // Closing the phones window or a dialog must never end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(ProgramName);
    QApplication::setApplicationVersion(ProgramVersion);
    // Qt's own texts (context menus of the edit fields, the file dialog) in
    // Russian like the rest of the interface, when the translation is there.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    AppContext context(AppPaths(QCoreApplication::applicationFilePath()));
    // Copies left by a run killed in the middle of an atomic write.
    removeStaleTemporaryCopies(
        context.paths.executableDir(),
        {QFileInfo(context.paths.settingsFile()).fileName(),
         QFileInfo(context.paths.regionFile()).fileName(),
         QFileInfo(context.paths.phonesFile()).fileName(),
         QFileInfo(context.paths.phonesFile()).fileName() + QStringLiteral(".bak"),
         QFileInfo(context.paths.historyFile()).fileName()},
        QDateTime::currentDateTime().addSecs(-StaleCopyAgeSeconds));
    int leftOut = 0;
    loadPhones(context.phones, context.paths.phonesFile(), &context.phonesFileUnreadable, &leftOut);
    if (leftOut > 0)
        writeErrorLog(phonesLeftOutMessage(context.paths.phonesFile(), leftOut),
                      context.paths.errorLogFile());

    const QImage standardIcon = standardTrayIcon();
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(standardIcon)));

    SystemTray tray;
    TrayController main(context, tray);
    tray.setContextMenu(main.trayMenu());
    QObject::connect(&tray, &SystemTray::activated, &main, &TrayController::trayNotify);
    tray.trayAdd(standardIcon, ProgramTitle);

    const int status = app.exec();
    // The menu belongs to the controller, which goes before the icon.
    tray.setContextMenu(nullptr);
    return status;
}

} // namespace zelvant
