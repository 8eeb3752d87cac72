// The tray drawing at every size a tray asks for: the ink pixel for pixel
// from the 16x16 drawing, the outline, the pick for a device pixel ratio, and
// the digits readable on black, white and grey panels.

#include <gtest/gtest.h>

#include <QIcon>
#include <QList>

#include <cmath>
#include <tuple>

#include "core/tray/BalanceIcon.h"
#include "core/tray/TrayIconSet.h"

using namespace zelvant;

namespace {

const QRgb DarkBlue = qRgb(0, 0, 128);
const QRgb White = qRgb(255, 255, 255);

// Every picture the tray shows: the letter, balances of every shape (the
// "-3.2" strip runs over the drawing's left edge) and the ten frames.
QList<QImage> drawings()
{
    QList<QImage> all{standardTrayIcon()};
    for (const float balance : {0.0f, 2.46f, 123.45f, -3.2f, -15.0f, 1500.0f / 1000, -1000.0f})
        all.append(createValueIcon(balance));
    all.append(animationFrames());
    return all;
}

// Where a device pixel of a size lies in the drawing, in drawing pixels.
QPoint drawingCell(int size, int x, int y)
{
    const int scale = size / 16;
    const int offset = (size - 16 * scale) / 2;
    auto cell = [&](int v) { return int(std::floor(double(v - offset) / scale)); };
    return QPoint(cell(x), cell(y));
}

bool drawingInk(const QImage &drawing, QPoint cell)
{
    return QRect(0, 0, 16, 16).contains(cell) && qAlpha(drawing.pixel(cell)) == 255;
}

bool nearInk(const QImage &drawing, QPoint cell)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (drawingInk(drawing, cell + QPoint(dx, dy)))
                return true;
    return false;
}

double luminance(QRgb c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QRgb over(QRgb pixel, QRgb panel)
{
    return qAlpha(pixel) == 255 ? pixel : panel;
}

// The lowest contrast between an ink pixel and a neighbour that is not ink,
// with the icon composited over the panel.
double weakestContrast(const QImage &drawing, const QImage &icon, QRgb panel)
{
    double weakest = 100;
    const int size = icon.width();
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!drawingInk(drawing, drawingCell(size, x, y)))
                continue;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= size || ny >= size
                        || drawingInk(drawing, drawingCell(size, nx, ny)))
                        continue;
                    weakest =
                        qMin(weakest, contrast(icon.pixel(x, y), over(icon.pixel(nx, ny), panel)));
                }
            }
        }
    }
    return weakest;
}

using SizeCase = std::tuple<int, TrayIconStyle>;

class TrayIconBySize : public ::testing::TestWithParam<SizeCase>
{};

TEST_P(TrayIconBySize, InkComesPixelForPixelFromTheDrawing)
{
    const auto [size, style] = GetParam();
    const bool outlined =
        style == TrayIconStyle::Light || (style == TrayIconStyle::DarkOutlined && size > 16);
    const QRgb outline = style == TrayIconStyle::Light ? DarkBlue : White;
    for (const QImage &drawing : drawings()) {
        const QImage icon = trayIconImage(drawing, size, style);
        ASSERT_EQ(icon.size(), QSize(size, size));
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QPoint cell = drawingCell(size, x, y);
                QRgb expected = 0;
                if (drawingInk(drawing, cell)) {
                    expected = drawing.pixel(cell);
                    if (style == TrayIconStyle::Light && expected == DarkBlue)
                        expected = White;
                } else if (outlined && nearInk(drawing, cell)) {
                    expected = outline;
                }
                ASSERT_EQ(icon.pixel(x, y), expected) << "size " << size << " at " << x << "," << y;
            }
        }
    }
}

class ReadableTrayIcon : public ::testing::TestWithParam<SizeCase>
{};

TEST_P(ReadableTrayIcon, OnBlackWhiteAndGreyPanels)
{
    const auto [size, style] = GetParam();
    for (const QImage &drawing : drawings()) {
        const QImage icon = trayIconImage(drawing, size, style);
        for (const QRgb panel : {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 128, 128)})
            EXPECT_GE(weakestContrast(drawing, icon, panel), 3.0)
                << "size " << size << " panel " << std::hex << panel;
    }
}

INSTANTIATE_TEST_SUITE_P(EverySizeAndStyle, TrayIconBySize,
                         ::testing::Combine(::testing::ValuesIn(TrayIconSizes),
                                            ::testing::Values(TrayIconStyle::DarkOutlined,
                                                              TrayIconStyle::Dark,
                                                              TrayIconStyle::Light)));

// Every size above 16 px in both outlined styles.
INSTANTIATE_TEST_SUITE_P(OutlinedStyles, ReadableTrayIcon,
                         ::testing::Combine(::testing::Values(22, 24, 32, 48, 64),
                                            ::testing::Values(TrayIconStyle::DarkOutlined,
                                                              TrayIconStyle::Light)));

TEST(TrayIconSet, DarkDigitsWithoutOutlineAreLostOnABlackPanel)
{
    // The reason for the outline, and proof that the rule above can fail.
    const QImage drawing = createValueIcon(123.45f);
    EXPECT_LT(
        weakestContrast(drawing, trayIconImage(drawing, 32, TrayIconStyle::Dark), qRgb(0, 0, 0)),
        3.0);
    EXPECT_EQ(trayIconImage(drawing, 16, TrayIconStyle::DarkOutlined),
              drawing.convertToFormat(QImage::Format_ARGB32));
}

TEST(TrayIconSet, PicksTheLargestSizeThatFitsTheDevicePixels)
{
    const std::pair<int, int> cases[] = {{8, 16},  {16, 16}, {19, 16}, {20, 20}, {22, 22},
                                         {23, 22}, {24, 24}, {31, 24}, {32, 32}, {44, 32},
                                         {48, 48}, {64, 64}, {96, 64}};
    for (const auto &[devicePixels, size] : cases)
        EXPECT_EQ(trayIconSizeFor(devicePixels), size) << devicePixels;

    // A 16 px tray slot at 2x and 3x takes the scaled drawing itself; one
    // that fits no size gets the next smaller one centred, never scaled.
    const QImage drawing = standardTrayIcon();
    const QIcon icon = trayIcon(drawing, TrayIconStyle::DarkOutlined);
    for (const int ratio : {1, 2, 3}) {
        const QImage shown =
            icon.pixmap(QSize(16, 16), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(shown, trayIconImage(drawing, 16 * ratio, TrayIconStyle::DarkOutlined)) << ratio;
    }
    const QImage padded =
        icon.pixmap(QSize(30, 30)).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(padded.copy(3, 3, 24, 24), trayIconImage(drawing, 24, TrayIconStyle::DarkOutlined));
}

} // namespace
