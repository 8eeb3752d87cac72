// The tray program: one instance per desktop, the long-lived windows, the
// tray icon, the event loop.
#include "gui/TrayProgram.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QTranslator>

#include "core/ErrorLog.h"
#include "core/Logging.h"
#include <memory>

#include "core/SingleInstance.h"
#include "core/Translations.h"
#include "core/config/AppContext.h"
#include "core/config/AtomicWrite.h"
#include "core/config/PhoneList.h"
#include "core/history/HistoryStore.h"
#include "core/tray/BalanceIcon.h"
#include "gui/DesktopNotifier.h"
#include "gui/SystemTray.h"
#include "gui/TrayController.h"

namespace zelvant {

namespace {

// The program's own icon at every rendered size, for the windows and the
// about box (the tray shows the balance instead). The files are read as the
// PNGs they are: QIcon::addFile, or a reader left to detect the format,
// first asks every image-format plugin Qt has (gif, ico, jpeg...) whether
// it reads them, which loads each plugin at every start.
QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(QStringLiteral(":/icons/%1x%1/zelvant.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace

int runTrayProgram(int argc, char *argv[])
{
    startStartupClock();
    // A second start in the same session asks the running program to show
    // its phones window and ends here, before it even connects to the display.
    SingleInstanceLock lock(ProgramTitle);
    if (!lock.tryAcquire()) {
        QCoreApplication caller(argc, argv);
        InstanceChannel::askToShow(lock.channelName());
        return 0;
    }

    QApplication app(argc, argv);
    // Closing the phones window or a dialog must never end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(ProgramName);
    QApplication::setApplicationVersion(ProgramVersion);
    // The desktop's language where the program has a translation, Russian
    // otherwise; Qt's own texts (context menus of the edit fields, the file
    // dialog) in the same language when Qt's translation is there.
    const QString language = interfaceLanguage();
    installTranslation(language);
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    const AppPaths paths = AppPaths::forRunningProgram(QCoreApplication::applicationFilePath());
    registerOwnFolders(paths);
    // Copies left by a run killed in the middle of an atomic write.
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-StaleCopyAgeSeconds);
    removeStaleTemporaryCopies(paths, staleBefore);
    QString error;
    if (!initHistoryAtFirstStart(paths, &error))
        // The error log is written in Russian, whatever the interface says.
        writeErrorLog(QStringLiteral("Не удалось создать файл истории баланса %1: %2") // no tr
                          .arg(paths.historyFile(), error),
                      paths.errorLogFile());
    AppContext context(paths);
    int leftOut = 0;
    loadPhones(context.phones, context.paths.phonesFile(), &context.phonesFileUnreadable, &leftOut);
    if (leftOut > 0)
        writeErrorLog(phonesLeftOutMessage(context.paths.phonesFile(), leftOut),
                      context.paths.errorLogFile());

    const QImage standardIcon = standardTrayIcon();
    // Lets the desktop match the windows with the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvant"));

    SystemTray tray;
    // Alerts reach the desktop's notification service, or the icon's balloon.
    std::unique_ptr<DesktopNotifier> notifier(DesktopNotifier::createForDesktop(
        [&tray](const QString &title, const QString &body, Urgency urgency) {
            tray.showMessage(title, body, urgency);
        },
        standardIcon));
    TrayControllerHooks hooks;
    hooks.notifier = notifier.get();
    TrayController main(context, tray, std::move(hooks));
    // The windows' icon waits until the tray shows the balances: reading its
    // eight sizes and handing them to the tray's own window (which has no use
    // for them) took a sixth of the work before that.
    QObject::connect(
        &main, &TrayController::startupShown, &app,
        [] {
            if (QApplication::windowIcon().isNull())
                QApplication::setWindowIcon(applicationIcon());
        },
        Qt::QueuedConnection);
    QObject::connect(notifier.get(), &DesktopNotifier::openRequested, &main,
                     &TrayController::showPhonesWindow);
    QObject::connect(&tray, &SystemTray::messageClicked, &main, &TrayController::showPhonesWindow);
    tray.setContextMenu(main.trayMenu());
    QObject::connect(&tray, &SystemTray::activated, &main, &TrayController::trayNotify);
    QObject::connect(&tray, &SystemTray::trayHostChanged, &main, &TrayController::setTrayHost);
    InstanceChannel channel(lock.channelName());
    QObject::connect(&channel, &InstanceChannel::showRequested, &main,
                     &TrayController::showPhonesWindow);
    if (!channel.listen())
        qCInfo(lcTray) << "no channel for a second start at" << lock.channelName();
    tray.trayAdd(standardIcon, ProgramTitle);

    const int status = app.exec();
    // The menu belongs to the controller, which goes before the icon.
    tray.setContextMenu(nullptr);
    return status;
}

} // namespace zelvant
