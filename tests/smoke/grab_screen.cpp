// Grabs a rectangle of the X screen into a binary PPM file, for the panel
// tests to read in Python without an imaging library.
//     grab_screen OUT.ppm X Y WIDTH HEIGHT
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: grab_screen OUT.ppm X Y WIDTH HEIGHT\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QPixmap shot = screen->grabWindow(0, args.at(2).toInt(), args.at(3).toInt(),
                                            args.at(4).toInt(), args.at(5).toInt());
    const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB888);
    return !image.isNull() && image.save(args.at(1)) ? 0 : 1;
}
