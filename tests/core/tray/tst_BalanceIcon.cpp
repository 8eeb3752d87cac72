// The tray pictures: the built-in glyphs, balances drawn as digits, the
// animation and the choice of what the tray shows.

#include <gtest/gtest.h>

#include <QList>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <limits>

#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/tray/BalanceIcon.h"
#include "core/tray/TrayAnimation.h"
#include "core/tray/TrayService.h"

using namespace zelvant;

namespace {

const QRgb DarkBlue = qRgb(0, 0, 128);
const QRgb Red = qRgb(255, 0, 0);

// The pictures as drawn on paper, rows 3 to 11 and 4 to 13.
const char *const LetterRows[] = {
    ".....######.....", "......#...##....", ".....##..##.....",
    ".....####.......", ".....##.###.....", ".....##..##.....",
    "....##...##.....", "....##..###.....", "...#######......",
};
constexpr int LetterFirstRow = 3;
const char *const DigitRows[] = {
    ".........##....#...##...##....#..####...##.####..##...##..",
    "........#..#.###..#..#.#..#..##..#.....#...#..#.#..#.#..#.",
    "........#..#...#..#..#....#..##..#....#.......#.#..#.#..#.",
    "........#..#...#.....#....#..##..###..###.....#.#..#.#..#.",
    "........#..#...#....##..##..#.#..#..#.##.#....#..##..#.##.",
    "##......#..#...#....#.....#.#.#.....#.#..#...#..#..#..###.",
    "........#..#...#...#......#.####....#.#..#...#..#..#....#.",
    "........#..#...#..#....#..#...#..#..#.#..#...#..#..#...#..",
    "....##...##..#########.###...###.###...##....#...##..##...",
    "...##.....................................................",
};
constexpr int DigitFirstRow = 4;

bool letterInk(int x, int y)
{
    const int row = y - LetterFirstRow;
    return row >= 0 && row < 9 && LetterRows[row][x] == '#';
}

bool digitInk(int x, int y)
{
    const int row = y - DigitFirstRow;
    return row >= 0 && row < 10 && DigitRows[row][x] == '#';
}

// The 16 x 16 ink pattern of a text: glyph columns side by side, cut at 16,
// then shifted to 8 - floor(width / 2).
QList<QByteArray> expectedPattern(const QByteArray &text)
{
    QList<int> columns; // strip column of every drawn column
    for (const char c : text) {
        int left = 0;
        int width = 0;
        if (c == '-') {
            width = 3;
        } else if (c == '.') {
            left = 3;
            width = 4;
        } else {
            left = 8 + 5 * (c - '0');
            width = 5;
        }
        for (int k = 0; k < width; ++k)
            columns.append(left + k);
    }
    const int shift = 8 - int(columns.size()) / 2;
    QList<QByteArray> rows(16, QByteArray(16, '.'));
    for (int i = 0; i < qMin<int>(int(columns.size()), 16); ++i) {
        const int x = i + shift;
        if (x < 0 || x > 15)
            continue;
        for (int y = 0; y < 16; ++y)
            rows[y][x] = digitInk(columns[i], y) ? '#' : '.';
    }
    return rows;
}

// What an icon shows: '#' opaque dark blue, 'r' opaque red, '.' see-through
// black, '?' anything else.
QList<QByteArray> pattern(const QImage &icon)
{
    QList<QByteArray> rows;
    for (int y = 0; y < icon.height(); ++y) {
        QByteArray row;
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb p = icon.pixel(x, y);
            if (p == qRgba(0, 0, 0, 0))
                row += '.';
            else if (p == (DarkBlue | 0xFF000000u))
                row += '#';
            else if (p == (Red | 0xFF000000u))
                row += 'r';
            else
                row += '?';
        }
        rows.append(row);
    }
    return rows;
}

class FakeTray : public TrayService
{
public:
    bool trayAdd(const QImage &icon, const QString &) override
    {
        icons.append(icon);
        return true;
    }
    bool traySetTip(const QString &) override { return true; }
    bool traySetIcon(const QImage &icon) override
    {
        icons.append(icon);
        return true;
    }
    bool trayRemove() override { return true; }

    QList<QImage> icons;
};

} // namespace

TEST(Glyphs, StandardIconAndDigitStripMatchTheirTables)
{
    const QImage icon = standardTrayIcon();
    ASSERT_EQ(icon.size(), QSize(16, 16));
    int ink = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb p = icon.pixel(x, y);
            if (letterInk(x, y)) {
                ++ink;
                EXPECT_EQ(p, DarkBlue | 0xFF000000u) << x << "," << y;
            } else {
                EXPECT_EQ(qAlpha(p), 0) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(ink, 42);

    const QImage strip = digitStrip();
    ASSERT_EQ(strip.size(), QSize(58, 16));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 58; ++x) {
            EXPECT_EQ(strip.pixel(x, y) | 0xFF000000u,
                      (digitInk(x, y) ? DarkBlue : qRgb(255, 255, 255)) | 0xFF000000u)
                << x << "," << y;
        }
    }
}

TEST(ValueIconText, DecimalsRoundingAndOverflow)
{
    const QList<QPair<float, const char *>> cases = {
        {0.0f, "0"},
        {2.46f, "2.5"},
        {10.0f, "10"},
        {10.4f, "10"},
        {123.45f, "123"},
        {999.0f, "999"},
        {1.5f, "1.5"},
        {25.0f, "25"},
        {-3.2f, "-3.2"},
        {-15.0f, "-15"},
        {-1000.0f, "---"},
        {5.0f, "5"},
        {-9.0f, "-9"},
        {-9.04f, "-9"},
        {-9.5f, "-10"},
        {9.96f, "10"},
        {10.5f, "11"},
        {0.9995f, "1"},
        {1.23456f, "1.2"},
        {-0.04f, "0"},
        {1234.5f, "1235"},
        {9999.4f, "9999"},
        {9999.5f, "---"},
        {-999.0f, "-999"},
        {0.05f, "0.1"},
        {-0.05f, "-0.1"},
        {0.35f, "0.4"},
        {9.95f, "10"},
        {std::numeric_limits<float>::quiet_NaN(), "---"},
        {std::numeric_limits<float>::infinity(), "---"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(valueIconText(value), QString::fromLatin1(text)) << value;
}

TEST(CreateValueIcon, DigitsAreCopiedAndCentredPixelByPixel)
{
    // value, the text it must show
    // -3.2 is 17 columns wide: the last is lost, the copy starts at 0;
    // 1000 is 20 columns wide: 16 are kept, shifted two to the left.
    const QList<QPair<float, QByteArray>> cases = {
        {0.0f, "0"},     {2.46f, "2.5"},    {1.23456f, "1.2"}, {10.0f, "10"},     {123.45f, "123"},
        {-15.0f, "-15"}, {-1000.0f, "---"}, {-3.2f, "-3.2"},   {1000.0f, "1000"},
    };
    for (const auto &[value, text] : cases) {
        const QImage icon = createValueIcon(value);
        ASSERT_EQ(icon.size(), QSize(16, 16));
        EXPECT_EQ(pattern(icon), expectedPattern(text)) << text.constData();
    }
    // The narrow "0" sits at columns 6 to 10, the first one white.
    const QList<QByteArray> zero = pattern(createValueIcon(0));
    EXPECT_EQ(zero[4], QByteArray(".......##......."));
    EXPECT_EQ(zero[12], QByteArray(".......##......."));
}

TEST(BitmapToIcon, TheBottomLeftColourBecomesTransparentBlack)
{
    QImage bitmap(16, 16, QImage::Format_RGB32);
    bitmap.fill(qRgb(0, 255, 0));
    bitmap.setPixel(3, 3, qRgb(255, 255, 255));
    bitmap.setPixel(4, 4, qRgb(0, 0, 0));
    bitmap.setPixel(5, 5, qRgb(0, 254, 0));
    const QImage icon = bitmapToIcon(bitmap);
    ASSERT_EQ(icon.size(), QSize(16, 16));
    EXPECT_EQ(icon.pixel(0, 15), qRgba(0, 0, 0, 0));
    EXPECT_EQ(icon.pixel(10, 2), qRgba(0, 0, 0, 0));
    EXPECT_EQ(icon.pixel(3, 3), qRgba(255, 255, 255, 255));
    EXPECT_EQ(icon.pixel(4, 4), qRgba(0, 0, 0, 255)); // black ink stays visible
    EXPECT_EQ(icon.pixel(5, 5), qRgba(0, 254, 0, 255));
    EXPECT_TRUE(bitmapToIcon(QImage()).isNull());
}

TEST(AnimationFrames, TheSameLetterWithARedPartTravellingAroundIt)
{
    const QList<QImage> frames = animationFrames();
    ASSERT_EQ(frames.size(), 10);
    QList<QSet<int>> reds;
    QSet<int> everRed;
    for (const QImage &frame : frames) {
        ASSERT_EQ(frame.size(), QSize(16, 16));
        QSet<int> red;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb p = frame.pixel(x, y);
                if (!letterInk(x, y)) {
                    EXPECT_EQ(p, qRgba(0, 0, 0, 0));
                } else if (p == (Red | 0xFF000000u)) {
                    red.insert(y * 16 + x);
                } else {
                    EXPECT_EQ(p, DarkBlue | 0xFF000000u);
                }
            }
        }
        EXPECT_GE(red.size(), 12);
        EXPECT_LE(red.size(), 18);
        everRed.unite(red);
        reds.append(red);
    }
    // Each frame moves the red part a little: it overlaps the previous one
    // but is not the same, and over the ten frames it reaches all the letter.
    for (int i = 0; i < 10; ++i) {
        const QSet<int> &previous = reds[(i + 9) % 10];
        EXPECT_NE(reds[i], previous) << i;
        EXPECT_TRUE(reds[i].intersects(previous)) << i;
    }
    EXPECT_EQ(everRed.size(), 42);
}

TEST(TrayAnimation, FramesInTurnAndTheIndexSurvivesASuspension)
{
    FakeTray tray;
    const QList<QImage> frames = animationFrames();
    TrayAnimation animation(tray, 5);
    EXPECT_FALSE(animation.isRunning());
    EXPECT_EQ(animation.frameIndex(), 1);
    EXPECT_TRUE(tray.icons.isEmpty());

    animation.resume();
    ASSERT_EQ(tray.icons.size(), 1); // at once, not after the first tick
    EXPECT_EQ(tray.icons[0], frames[0]);
    EXPECT_TRUE(animation.isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.icons.size() >= 13; }, 5000));
    animation.suspend();
    EXPECT_FALSE(animation.isRunning());
    const qsizetype shown = tray.icons.size();
    for (qsizetype i = 0; i < shown; ++i)
        EXPECT_EQ(tray.icons[i], frames[i % 10]) << i;
    EXPECT_EQ(animation.frameIndex(), int(shown % 10) + 1);

    // Nothing more while suspended, then the next frame on resuming.
    QTest::qWait(40);
    EXPECT_EQ(tray.icons.size(), shown);
    animation.resume();
    ASSERT_EQ(tray.icons.size(), shown + 1);
    EXPECT_EQ(tray.icons.last(), frames[shown % 10]);
    animation.resume(); // a second resume neither skips nor repeats a frame
    EXPECT_EQ(tray.icons.size(), shown + 1);
    animation.suspend();
}

TEST(TrayBalanceIcon, TheFirstMonitoredTraySlotOrTheStandardIcon)
{
    const QImage standard = standardTrayIcon();
    PhoneList phones;
    PhoneResults results;

    auto show = [&] { return trayBalanceIcon(phones, results); };

    // No slot qualifies: the standard icon alone, also for a tray slot
    // that is not monitored.
    EXPECT_EQ(show(), standard);
    phones.slot(4).trayShown = true;
    results[4].balance = 50;
    EXPECT_EQ(show(), standard);

    // Monitored and never queried: the digit 0.
    phones.slot(4).monitored = true;
    results[4].balance = 0;
    EXPECT_EQ(pattern(show()), expectedPattern("0"));

    // Thousands are divided, large debts are not.
    const QList<QPair<float, QByteArray>> balances = {
        {1234.56f, "1.2"}, {10400.0f, "10"},  {999.0f, "999"}, {999.5f, "1"},
        {25000.0f, "25"},  {-1500.0f, "---"}, {2.46f, "2.5"},
    };
    for (const auto &[balance, text] : balances) {
        results[4].balance = balance;
        EXPECT_EQ(pattern(show()), expectedPattern(text)) << balance;
    }

    // The no-value mark keeps the standard icon.
    results[4].balance = float(NotFoundSentinel);
    EXPECT_EQ(show(), standard);

    // Only the first qualifying slot counts.
    results[4].balance = 7;
    phones.slot(2).trayShown = true;
    phones.slot(2).monitored = true;
    results[2].balance = 3;
    EXPECT_EQ(pattern(show()), expectedPattern("3"));
    phones.slot(100).trayShown = true;
    phones.slot(100).monitored = true;
    phones.slot(2).monitored = false;
    phones.slot(4).monitored = false;
    results[100].balance = 8;
    EXPECT_EQ(pattern(show()), expectedPattern("8"));
}
