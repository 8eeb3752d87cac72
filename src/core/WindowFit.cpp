#include "core/WindowFit.h"

#include <algorithm>

namespace zelvant {

namespace {

// One axis: the frame's start and length inside [areaStart, areaStart + areaLength).
void fitSpan(int &start, int &length, int before, int after, int areaStart, int areaLength)
{
    length = std::max(1, std::min(length, areaLength - before - after));
    const int frameLength = before + length + after;
    const int frameStart = std::clamp(start - before, areaStart,
                                      std::max(areaStart, areaStart + areaLength - frameLength));
    start = frameStart + before;
}

} // namespace

QRect fitFrameIntoArea(const QRect &geometry, const QMargins &frame, const QRect &available)
{
    if (!available.isValid())
        return geometry;
    int x = geometry.x();
    int y = geometry.y();
    int width = geometry.width();
    int height = geometry.height();
    fitSpan(x, width, frame.left(), frame.right(), available.x(), available.width());
    fitSpan(y, height, frame.top(), frame.bottom(), available.y(), available.height());
    return QRect(x, y, width, height);
}

} // namespace zelvant
