#include "core/tray/TrayIconSet.h"

#include <QIconEngine>
#include <QPainter>

#include <algorithm>

namespace zelvant {

namespace {

const QRgb DrawingInk = qRgb(0, 0, 128);
const QRgb LightInk = qRgb(255, 255, 255);
const QRgb LightOutline = qRgb(255, 255, 255);
const QRgb DarkOutline = qRgb(0, 0, 128);

bool hasOutline(TrayIconStyle style, int size)
{
    // At 16 px the default style stays exactly as drawn; light ink without
    // its outline could not be read on a light panel at any size.
    return style == TrayIconStyle::Light
           || (style == TrayIconStyle::DarkOutlined && size > TrayDrawingSize);
}

bool isInk(const QImage &drawing, int x, int y)
{
    return x >= 0 && y >= 0 && x < drawing.width() && y < drawing.height()
           && qAlpha(drawing.pixel(x, y)) != 0;
}

bool touchesInk(const QImage &drawing, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (isInk(drawing, x + dx, y + dy))
                return true;
        }
    }
    return false;
}

class TrayIconEngine : public QIconEngine
{
public:
    TrayIconEngine(const QImage &drawing, TrayIconStyle style)
        : m_drawing(drawing)
        , m_style(style)
    {
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMax(1, qMin(size.width(), size.height()));
        QImage image = trayIconImage(m_drawing, side, m_style);
        if (image.size() != size) {
            QImage padded(size, QImage::Format_ARGB32_Premultiplied);
            padded.fill(Qt::transparent);
            QPainter(&padded).drawImage((size.width() - image.width()) / 2,
                                        (size.height() - image.height()) / 2, image);
            image = padded;
        }
        return QPixmap::fromImage(image);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), picture);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int size : TrayIconSizes)
            sizes.append(QSize(size, size));
        return sizes;
    }

    QIconEngine *clone() const override { return new TrayIconEngine(m_drawing, m_style); }
    QString key() const override { return QStringLiteral("ZelvantTrayIcon"); }

private:
    QImage m_drawing;
    TrayIconStyle m_style;
};

} // namespace

int trayIconSizeFor(int devicePixels)
{
    int best = TrayIconSizes[0];
    for (const int size : TrayIconSizes) {
        if (size <= devicePixels)
            best = size;
    }
    return best;
}

QImage trayIconImage(const QImage &drawing, int size, TrayIconStyle style)
{
    size = trayIconSizeFor(size);
    // Whole multiples only: 20 to 31 px frame the 16 px drawing, 32 to 47
    // frame it doubled, and so on.
    const int scale = size / TrayDrawingSize;
    const int offset = (size - TrayDrawingSize * scale) / 2;
    const QImage source = drawing.convertToFormat(QImage::Format_ARGB32);
    const bool outline = hasOutline(style, size);
    const QRgb outlineColour = style == TrayIconStyle::Light ? DarkOutline : LightOutline;

    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    // Walk the drawing's cells, including the ring just outside it where the
    // frame leaves room, so ink on the drawing's edge keeps its outline.
    const int margin = offset > 0 ? 1 : 0;
    for (int cy = -margin; cy < TrayDrawingSize + margin; ++cy) {
        for (int cx = -margin; cx < TrayDrawingSize + margin; ++cx) {
            QRgb colour;
            if (isInk(source, cx, cy)) {
                colour = source.pixel(cx, cy) | 0xFF000000u;
                if (style == TrayIconStyle::Light && colour == DrawingInk)
                    colour = LightInk;
            } else if (outline && touchesInk(source, cx, cy)) {
                colour = outlineColour;
            } else {
                continue;
            }
            const int left = offset + cx * scale;
            const int top = offset + cy * scale;
            for (int y = top; y < top + scale; ++y) {
                QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                std::fill(line + left, line + left + scale, colour);
            }
        }
    }
    return image;
}

QList<QImage> trayIconSet(const QImage &drawing, TrayIconStyle style)
{
    QList<QImage> set;
    for (const int size : TrayIconSizes)
        set.append(trayIconImage(drawing, size, style));
    return set;
}

QIcon trayIcon(const QImage &drawing, TrayIconStyle style)
{
    return QIcon(new TrayIconEngine(drawing, style));
}

} // namespace zelvant
