#include "core/tray/BalanceIcon.h"

#include "core/Logging.h"
#include "core/Rounding.h"

#include <QFile>
#include <QPainter>
#include <QPoint>

#include <algorithm>
#include <cmath>

namespace zelvant {

namespace {

constexpr int IconSize = 16;
constexpr int StripWidth = 58;
constexpr int FrameCount = 10;
constexpr int RedPixelsPerFrame = 15;

const QRgb DarkBlue = qRgb(0, 0, 128);
const QRgb White = qRgb(255, 255, 255);
const QRgb Red = qRgb(255, 0, 0);

// The glyph tables are kept as text ("| row | pixels |" lines, '#' ink) in
// the resources, so the pictures stay readable and diffable. A table that
// does not fit its image is a build mistake; its bad lines are skipped.
QImage imageFromTable(const QString &resource, int width, QRgb ink, QRgb ground,
                      QImage::Format format)
{
    QImage image(width, IconSize, format);
    image.fill(ground);
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("Zelvant: the built-in picture %s is missing", qPrintable(resource));
        return image;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromLatin1(file.readLine()).trimmed();
        if (!line.startsWith(QLatin1Char('|')))
            continue;
        const QStringList cells = line.split(QLatin1Char('|'));
        if (cells.size() < 3)
            continue;
        bool ok = false;
        const int row = cells.at(1).trimmed().toInt(&ok);
        const QString pixels = cells.at(2).trimmed();
        if (!ok || row < 0 || row >= IconSize || pixels.size() != width)
            continue;
        for (int x = 0; x < width; ++x) {
            if (pixels.at(x) == QLatin1Char('#'))
                image.setPixel(x, row, ink);
        }
    }
    return image;
}

struct Glyph
{
    int left = 0;
    int width = 0;
};

// Where a character lies in the digit strip; width 0 for characters the
// strip does not have.
Glyph glyphOf(QChar c)
{
    if (c == QLatin1Char('-'))
        return {0, 3};
    if (c == QLatin1Char('.') || c == QLatin1Char(','))
        return {3, 4};
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return {8 + 5 * (c.unicode() - '0'), 5};
    return {};
}

const QImage &cachedDigitStrip()
{
    static const QImage strip = digitStrip();
    return strip;
}

} // namespace

QImage standardTrayIcon()
{
    // Shown after every phone of a cycle: read once, shared afterwards.
    static const QImage icon = imageFromTable(QStringLiteral(":/glyphs/z_TrayIcon.txt"), IconSize,
                                              DarkBlue, qRgba(0, 0, 0, 0), QImage::Format_ARGB32);
    return icon;
}

QImage digitStrip()
{
    return imageFromTable(QStringLiteral(":/glyphs/Digits.txt"), StripWidth, DarkBlue, White,
                          QImage::Format_RGB32);
}

QList<QImage> animationFrames()
{
    // The letter's ink pixels in the order of their angle around the
    // letter's centre: a window of consecutive pixels in that order is one
    // piece of the letter, and moving the window moves the piece around it.
    const QImage letter = standardTrayIcon();
    QList<QPoint> ink;
    double cx = 0;
    double cy = 0;
    for (int y = 0; y < IconSize; ++y) {
        for (int x = 0; x < IconSize; ++x) {
            if (qAlpha(letter.pixel(x, y)) != 0) {
                ink.append(QPoint(x, y));
                cx += x;
                cy += y;
            }
        }
    }
    QList<QImage> frames;
    if (ink.isEmpty())
        return frames;
    cx /= double(ink.size());
    cy /= double(ink.size());
    auto angle = [&](const QPoint &p) { return std::atan2(p.y() - cy, p.x() - cx); };
    std::stable_sort(ink.begin(), ink.end(),
                     [&](const QPoint &a, const QPoint &b) { return angle(a) < angle(b); });

    const qsizetype count = ink.size();
    const int redCount = int(qMin<qsizetype>(RedPixelsPerFrame, count));
    for (int frame = 0; frame < FrameCount; ++frame) {
        QImage bitmap(IconSize, IconSize, QImage::Format_RGB32);
        bitmap.fill(White);
        for (const QPoint &p : ink)
            bitmap.setPixel(p, DarkBlue);
        const qsizetype start = frame * count / FrameCount;
        for (int k = 0; k < redCount; ++k)
            bitmap.setPixel(ink.at((start + k) % count), Red);
        frames.append(bitmapToIcon(bitmap));
    }
    return frames;
}

QString valueIconText(float value)
{
    if (!std::isfinite(value))
        return QStringLiteral("---");
    const int decimals = (value > 10 || value < -9) ? 0 : 1;
    // Half away from zero on the value's digits (0.35 is drawn 0.4, as the
    // phones window's 0.35 suggests); never "-0".
    const double rounded = roundDecimals(value, decimals);
    QString text = QString::number(rounded, 'f', decimals);
    text.remove(QStringLiteral(".0"));
    if (text.size() > 4)
        return QStringLiteral("---");
    return text;
}

QImage createValueIcon(float value)
{
    const QString text = valueIconText(value);
    qCDebug(lcTray).noquote() << "balance icon drawn:" << value << "as" << text;
    const QImage &digits = cachedDigitStrip();

    // The text at its natural width from the left; what lies beyond the
    // sixteenth column is lost.
    QImage strip(IconSize, IconSize, QImage::Format_RGB32);
    strip.fill(White);
    int width = 0;
    {
        QPainter painter(&strip);
        for (const QChar c : text) {
            const Glyph glyph = glyphOf(c);
            if (glyph.width == 0)
                continue;
            painter.drawImage(QPoint(width, 0), digits,
                              QRect(glyph.left, 0, glyph.width, IconSize));
            width += glyph.width;
        }
    }

    // Centred: the left edge goes to 8 - floor(width / 2), which for wide
    // texts lies left of the icon and cuts their first columns.
    QImage bitmap(IconSize, IconSize, QImage::Format_RGB32);
    bitmap.fill(White);
    {
        QPainter painter(&bitmap);
        painter.drawImage(QPoint(IconSize / 2 - width / 2, 0), strip,
                          QRect(0, 0, qMin(width, IconSize), IconSize));
    }
    return bitmapToIcon(bitmap);
}

QImage bitmapToIcon(const QImage &bitmap)
{
    if (bitmap.isNull())
        return QImage();
    QImage icon = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = icon.pixel(0, icon.height() - 1) | 0xFF000000u;
    for (int y = 0; y < icon.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(icon.scanLine(y));
        for (int x = 0; x < icon.width(); ++x) {
            // The mask: exactly the pixels of the ground colour see through,
            // and their colour becomes black as in a Windows icon.
            line[x] = (line[x] | 0xFF000000u) == transparent ? qRgba(0, 0, 0, 0)
                                                             : (line[x] | 0xFF000000u);
        }
    }
    return icon;
}

} // namespace zelvant
