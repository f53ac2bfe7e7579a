#include "chart/ChartPoints.h"

#include <algorithm>
#include <cmath>

namespace qtmchart {

std::size_t InsertionIndex(const SChartXYPoint* points, std::size_t count, const SChartXYPoint& p,
                           int ordering) {
    if (ordering != kXOrdering && ordering != kYOrdering) return count;
    if (count == 0) return 0;
    const double key = PointKey(p, ordering);
    // Data usually arrive in order, so the common case costs one comparison.
    if (key >= PointKey(points[count - 1], ordering)) return count;
    // The first point with a greater key; equal keys stay before the new point.
    const auto* pos = std::upper_bound(
        points, points + count, key,
        [ordering](double k, const SChartXYPoint& q) { return k < PointKey(q, ordering); });
    return static_cast<std::size_t>(pos - points);
}

void SortPoints(SChartXYPoint* points, std::size_t count, int ordering) {
    if (ordering != kXOrdering && ordering != kYOrdering) return;
    std::stable_sort(points, points + count,
                     [ordering](const SChartXYPoint& a, const SChartXYPoint& b) {
                         return PointKey(a, ordering) < PointKey(b, ordering);
                     });
}

unsigned BisectPoints(const SChartXYPoint* points, unsigned lo, unsigned hi, double v,
                      int ordering) {
    for (;;) {
        const unsigned mid = lo + (hi - lo) / 2;
        if (PointKey(points[mid], ordering) <= v) {
            if (mid >= hi) return hi;
            lo = mid + 1;
        } else {
            if (lo >= mid) return lo;
            hi = mid - 1;
        }
    }
}

bool VisiblePointRange(const SChartXYPoint* points, unsigned count, int ordering, double axisMin,
                       double axisMax, unsigned& first, unsigned& last) {
    if (count == 0) return false;
    if (ordering != kXOrdering && ordering != kYOrdering) {
        first = 0;
        last = count - 1;
        return true;
    }
    first = BisectPoints(points, 0, count - 1, axisMin, ordering);
    last = BisectPoints(points, first, count - 1, axisMax, ordering);
    return true;
}

void WidenByOne(unsigned& first, unsigned& last, unsigned count) {
    if (first > 0) --first;
    if (last + 1 < count) ++last;
}

bool SegmentHit(QPoint p, QPoint a, QPoint b, int tolerance) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double length2 = dx * dx + dy * dy;
    if (length2 == 0.0) return false;
    const double t = ((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / length2;
    if (t < 0.0 || t > 1.0) return false;
    const double nearX = a.x() + t * dx;
    const double nearY = a.y() + t * dy;
    return std::abs(nearX - p.x()) <= tolerance && std::abs(nearY - p.y()) <= tolerance;
}

}  // namespace qtmchart
