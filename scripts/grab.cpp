// Saves a picture of the X screen, of a part of it or of one window, for
// scripts/screenshots.sh (PNG) and the panel tests (binary PPM, which Python
// reads without an imaging library); the format follows OUT's suffix.
//     zelvant_grab OUT.png [WINDOW_ID | X Y WIDTH HEIGHT]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 1 && args.size() != 2 && args.size() != 5) {
        std::fprintf(stderr, "usage: zelvant_grab OUT.png [WINDOW_ID | X Y WIDTH HEIGHT]\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    QPixmap picture;
    if (args.size() == 2)
        picture = screen->grabWindow(WId(args.at(1).toULongLong(nullptr, 0)));
    else if (args.size() == 5)
        picture = screen->grabWindow(0, args.at(1).toInt(), args.at(2).toInt(), args.at(3).toInt(),
                                     args.at(4).toInt());
    else
        picture = screen->grabWindow(0);
    if (picture.isNull()
        || !picture.save(args.at(0), nullptr,
                         args.at(0).endsWith(QLatin1String(".png")) ? 9 : -1)) {
        std::fprintf(stderr, "zelvant_grab: could not save %s\n", qPrintable(args.at(0)));
        return 1;
    }
    return 0;
}
