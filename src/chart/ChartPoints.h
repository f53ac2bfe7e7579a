// Pure point arithmetic of the chart series: where a new point goes in an ordered store,
// which stored points are visible on an axis range, and whether a pixel hits a segment.
#pragma once

#include <algorithm>
#include <cmath>

#include <QPoint>
#include <cstddef>

struct SChartXYPoint {
    double X = 0.0;
    double Y = 0.0;
};

namespace qtmchart {

// Orderings of a serie's points.
enum SerieOrdering : int { kNoOrdering = 0, kXOrdering = 1, kYOrdering = 2 };

// The value a serie with this ordering is sorted on (X for every ordering but kYOrdering).
inline double PointKey(const SChartXYPoint& p, int ordering) {
    return ordering == kYOrdering ? p.Y : p.X;
}

// Index at which p is inserted into `count` stored points: the end when unordered or when p's
// key is not below the last key; otherwise before the first point with a greater key, so
// points with equal keys keep the order in which they were added.
std::size_t InsertionIndex(const SChartXYPoint* points, std::size_t count, const SChartXYPoint& p,
                           int ordering);

// Sorts points on the ordering's key, keeping equal keys in their present order.
void SortPoints(SChartXYPoint* points, std::size_t count, int ordering);

// Bisection over points[lo..hi] sorted on the ordering's key. It stops at the boundary
// around v: the result r is either the last point with a key not above v or the first with a
// key above it (so key(r - 1) <= v and key(r + 1) > v wherever those points exist).
unsigned BisectPoints(const SChartXYPoint* points, unsigned lo, unsigned hi, double v,
                      int ordering);

// The stored points that may show between axisMin and axisMax on the ordered axis: with no
// ordering all of them; otherwise the bisection boundaries of the two bounds. Widened by one
// point (WidenByOne) the result holds every point inside the range. False without points.
bool VisiblePointRange(const SChartXYPoint* points, unsigned count, int ordering, double axisMin,
                       double axisMax, unsigned& first, unsigned& last);

// Widens [first, last] by one point on each side where one exists, so a line runs on to the
// edge of the plotting area.
void WidenByOne(unsigned& first, unsigned& last, unsigned count);

// Widens the range [lo, hi] by v; `first` (the serie's first point) sets it to v. A value that
// is not finite (a garbled reading) does not stretch a finite range, and a finite value
// replaces a range that is not, so one bad reading cannot spoil the automatic axes.
// Inline: it runs for every point added.
inline void WidenRange(double& lo, double& hi, double v, bool first) {
    if (first || !std::isfinite(lo) || !std::isfinite(hi)) {
        lo = hi = v;
    } else if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

// Whether pixel p lies within `tolerance` pixels (in x and in y) of the segment a-b, measured
// at its projection onto the segment; a segment of zero length is never hit.
bool SegmentHit(QPoint p, QPoint a, QPoint b, int tolerance = 3);

// Whether two pixels are within `tolerance` of each other in both x and y.
inline bool NearPixel(QPoint p, QPoint q, int tolerance) {
    const int dx = p.x() - q.x();
    const int dy = p.y() - q.y();
    return dx >= -tolerance && dx <= tolerance && dy >= -tolerance && dy <= tolerance;
}

}  // namespace qtmchart
