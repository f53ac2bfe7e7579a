// A pixel rectangle with left/top/right/bottom edges, right and bottom exclusive, the way the
// chart's layout arithmetic is written; QRect's inclusive right/bottom would add ±1 everywhere.
#pragma once

#include <QRect>

namespace qtmchart {

struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    // Empty like a Windows rectangle: no width or no height.
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool operator==(const ChartRect&) const = default;

    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
    static ChartRect FromQRect(const QRect& r) {
        return ChartRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
    }
};

}  // namespace qtmchart
