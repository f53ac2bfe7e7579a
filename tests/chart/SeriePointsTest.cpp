// Visible-point search and the segment hit test, on plain numbers.
#include <gtest/gtest.h>

#include <vector>

#include "chart/ChartPoints.h"

using namespace qtmchart;

namespace {

std::vector<SChartXYPoint> Line(const std::vector<double>& keys) {
    std::vector<SChartXYPoint> points;
    for (double k : keys)
        points.push_back({k, k});
    return points;
}

}  // namespace

TEST(SeriePointsTest, VisibleRangeEnclosesEveryPointInsideTheWindow) {
    // Keys with gaps and repeats; windows swept across, beyond and between them.
    const auto points = Line({0, 1, 1, 2, 4, 4, 4, 7, 8, 8, 9, 12});
    const unsigned n = static_cast<unsigned>(points.size());
    for (double min = -2; min <= 13; min += 0.5) {
        for (double max = min; max <= 14; max += 0.5) {
            unsigned first = 99;
            unsigned last = 99;
            ASSERT_TRUE(VisiblePointRange(points.data(), n, kXOrdering, min, max, first, last));
            ASSERT_LE(first, last);
            ASSERT_LT(last, n);
            // Widened by one, as the drawing does, the range holds every point inside the
            // window (repeats of a key equal to the minimum sit on the clipped frame and may
            // be left out), and at most one point beyond it on each side.
            unsigned wideFirst = first;
            unsigned wideLast = last;
            WidenByOne(wideFirst, wideLast, n);
            for (unsigned i = 0; i < n; ++i) {
                if (points[i].X > min && points[i].X <= max) {
                    EXPECT_TRUE(i >= wideFirst && i <= wideLast)
                        << min << ".." << max << " point " << i;
                }
            }
            if (wideFirst > 0) {
                EXPECT_LE(points[wideFirst].X, min) << min << ".." << max;
            }
            if (wideLast + 1 < n) {
                EXPECT_GT(points[wideLast].X, max) << min << ".." << max;
            }
        }
    }
}

TEST(SeriePointsTest, SegmentHitWithinThreePixels) {
    struct Case {
        QPoint p, a, b;
        bool hit;
    };
    const std::vector<Case> cases = {
        {{50, 50}, {0, 50}, {100, 50}, true},    // on a horizontal segment
        {{50, 53}, {0, 50}, {100, 50}, true},    // 3 pixels off
        {{50, 54}, {0, 50}, {100, 50}, false},   // 4 pixels off
        {{-2, 50}, {0, 50}, {100, 50}, false},   // before the start
        {{103, 50}, {0, 50}, {100, 50}, false},  // past the end
        {{10, 12}, {0, 0}, {20, 20}, true},      // near a diagonal
        {{5, 5}, {5, 5}, {5, 5}, false},         // zero-length segment
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SegmentHit(c.p, c.a, c.b, 3), c.hit)
            << c.p.x() << "," << c.p.y() << " vs " << c.a.x() << "," << c.a.y() << "-" << c.b.x()
            << "," << c.b.y();
    }
}
