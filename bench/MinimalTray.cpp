// The yardstick of the start-up benchmark: the least a Qt tray program does,
// a tray icon with a menu. Prints "ZELVANT_STARTUP_MARK <ms>" once the icon
// has been handed to the tray and the event loop runs.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(4, 4, 8, 8, QColor(0, 0, 128));

    QMenu menu;
    menu.addAction(QStringLiteral("About"));
    menu.addSeparator();
    QAction *quit = menu.addAction(QStringLiteral("Quit"));
    QObject::connect(quit, &QAction::triggered, &app, &QApplication::quit);

    QSystemTrayIcon icon(QIcon(QPixmap::fromImage(image)));
    icon.setContextMenu(&menu);
    icon.setToolTip(QStringLiteral("Minimal tray"));
    icon.show();
    QTimer::singleShot(0, [&clock] {
        std::fprintf(stderr, "ZELVANT_STARTUP_MARK %lld\n",
                     static_cast<long long>(clock.elapsed()));
        std::fflush(stderr);
    });
    return app.exec();
}
