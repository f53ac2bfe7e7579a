// Which vertices of a long one-pixel polyline are kept, on plain pixel lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/ChartPolyline.h"

using qtmchart::ReducedPolylineColumns;
using qtmchart::ReducePolylineColumns;

namespace {

using Pixels = std::vector<QPoint>;

// The image the lines are drawn into.
const QRect kWhole(0, 0, 1000, 1000);

// A run in column x through the given rows.
Pixels Column(int x, const std::vector<int>& rows) {
    Pixels p;
    for (int y : rows)
        p.emplace_back(x, y);
    return p;
}

Pixels Join(std::initializer_list<Pixels> parts) {
    Pixels all;
    for (const Pixels& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Text(const Pixels& pixels) {
    std::string s;
    for (const QPoint& p : pixels)
        s += "(" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")";
    return s;
}

}  // namespace

TEST(PolylineReduceTest, EachColumnRunKeepsItsEndsItsExtremesAndItsEndDirections) {
    struct Case {
        const char* what;
        Pixels in;
        Pixels out;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, {}},
        {"one vertex", Column(3, {7}), Column(3, {7})},
        {"repeats dropped", Column(3, {7, 7, 9, 9, 9, 7}), Column(3, {7, 9, 7})},
        {"a run one way keeps its ends", Column(2, {1, 2, 3, 4, 5, 6, 7, 8}), Column(2, {1, 8})},
        {"top and the turn at the bottom, first of equals",
         Column(4, {50, 40, 45, 10, 60, 10, 60, 30, 35, 20}), Column(4, {50, 10, 60, 20})},
        {"bottom at the last vertex is no turn", Column(4, {30, 10, 20, 15, 25, 40}),
         Column(4, {30, 10, 40})},
        {"the first segment runs down, so the second vertex stays",
         Column(5, {50, 55, 10, 12, 60, 58, 30, 20}), Column(5, {50, 55, 10, 60, 30, 20})},
        {"the last segment runs down, so the last but one stays",
         Column(5, {50, 10, 60, 45, 20, 25}), Column(5, {50, 10, 60, 20, 25})},
        {"each column on its own",
         Join({Column(0, {5, 6, 7, 8, 9}), Column(1, {3}), Column(2, {9, 7, 4, 2})}),
         Join({Column(0, {5, 9}), Column(1, {3}), Column(2, {9, 2})})},
        {"a column met again later is a new run",
         Join({Column(5, {1, 2, 3}), Column(6, {3}), Column(5, {4, 5, 6, 7})}),
         Join({Column(5, {1, 2, 3}), Column(6, {3}), Column(5, {4, 7})})},
        {"a run leaving the image keeps its end segments whole",
         Column(9, {10, -(1 << 30), 20, 1 << 28, 30, 25, 35, 40}),
         Column(9, {10, -(1 << 30), 1 << 28, 35, 40})},
        {"inside the image the same run keeps fewer", Column(9, {500, 600, 700, 999, 800}),
         Column(9, {500, 999, 800})},
        {"one that only touches the image's edge keeps its end segments",
         Column(9, {500, 600, 700, 1000, 800}), Column(9, {500, 600, 1000, 800})},
    };
    for (const Case& c : cases) {
        Pixels pixels = c.in;
        pixels.resize(ReducePolylineColumns(pixels.data(), pixels.size(), kWhole));
        EXPECT_EQ(Text(pixels), Text(c.out)) << c.what;
        EXPECT_EQ(Text(ReducedPolylineColumns(c.in, kWhole)), Text(c.out)) << c.what;
    }
}

TEST(PolylineReduceTest, AThousandVerticesInOneColumnBecomeAtMostSix) {
    Pixels in;
    for (int i = 0; i < 1000; ++i)
        in.emplace_back(17, (i * 7919) % 401);
    const Pixels out = ReducedPolylineColumns(in, kWhole);
    ASSERT_LE(out.size(), 6u);
    EXPECT_EQ(out.front(), in.front());
    EXPECT_EQ(out.back(), in.back());
    int top = 1000;
    int bottom = -1;
    for (const QPoint& p : out) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    EXPECT_EQ(top, 0);
    EXPECT_EQ(bottom, 400);
}
