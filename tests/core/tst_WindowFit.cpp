// Restored and grown windows land with their whole frame on the screen: sizes
// stored on a larger screen or by a tiling compositor, negative positions, a
// window grown with its columns at a 12 pt font.

#include <gtest/gtest.h>

#include "core/WindowFit.h"

using namespace zelvant;

namespace {

struct FitCase
{
    const char *name;
    QRect geometry;
    QRect expected;
};

// A 1024x768 screen with a 24 px panel at its top; frames with a 28 px title
// bar and 4 px borders.
const QRect Available(0, 24, 1024, 744);
const QMargins Frame(4, 28, 4, 4);

class WindowFit : public ::testing::TestWithParam<FitCase>
{};

TEST_P(WindowFit, FrameLandsInsideTheAvailableArea)
{
    const FitCase &c = GetParam();
    const QRect fitted = fitFrameIntoArea(c.geometry, Frame, Available);
    EXPECT_EQ(fitted, c.expected) << c.name;
    EXPECT_TRUE(Available.contains(fitted.marginsAdded(Frame))) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    StoredAndGrown, WindowFit,
    ::testing::Values(
        FitCase{"fits: stays", {100, 200, 333, 117}, {100, 200, 333, 117}},
        // A compositor's tiled size at 0,0 from a Wayland run.
        FitCase{"tiled size at the origin", {0, 0, 1276, 743}, {4, 52, 1016, 712}},
        FitCase{"negative position", {-50, -30, 333, 117}, {4, 52, 333, 117}},
        FitCase{"title bar above the top edge", {300, 30, 333, 117}, {300, 52, 333, 117}},
        FitCase{"past the bottom", {300, 700, 333, 117}, {300, 647, 333, 117}},
        // 12 pt: stored at x=91, grown to the screen's width by its columns.
        FitCase{"grown to the screen's width", {91, 100, 1016, 117}, {4, 100, 1016, 117}},
        FitCase{"grown past the right edge", {91, 100, 990, 117}, {30, 100, 990, 117}},
        FitCase{"on a screen to the right", {1500, 100, 333, 117}, {687, 100, 333, 117}}),
    [](const ::testing::TestParamInfo<FitCase> &info) {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

} // namespace
