// Which vertices of a long one-pixel polyline are kept, on plain pixel lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/ChartPolyline.h"

using qtmchart::ReducePolylineColumns;

namespace {

using Pixels = std::vector<QPoint>;

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

TEST(PolylineReduceTest, KeepsTheEndsAndTheExtremesOfEachColumnRun) {
    struct Case {
        const char* what;
        Pixels in;
        Pixels out;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, {}},
        {"one vertex", Column(3, {7}), Column(3, {7})},
        {"repeats dropped", Column(3, {7, 7, 9, 9, 9, 7}), Column(3, {7, 9, 7})},
        {"six in a column are all kept", Column(1, {5, 9, 2, 8, 3, 6}),
         Column(1, {5, 9, 2, 8, 3, 6})},
        {"top and bottom from the middle, first of equals",
         Column(4, {50, 40, 45, 10, 60, 10, 60, 30, 35, 20}), Column(4, {50, 40, 10, 60, 35, 20})},
        {"bottom before top keeps that order", Column(4, {50, 40, 90, 45, 5, 30, 35, 20}),
         Column(4, {50, 40, 90, 5, 35, 20})},
        {"an extreme next to the ends adds nothing", Column(2, {1, 2, 3, 4, 5, 6, 7, 8}),
         Column(2, {1, 2, 7, 8})},
        {"extremes only at the ends: the middle goes",
         Column(2, {0, 50, 30, 40, 35, 45, 31, 49, 99}), Column(2, {0, 50, 30, 49, 99})},
        {"each column on its own",
         Join({Column(0, {5, 1, 9, 4, 6, 2, 7}), Column(1, {3}), Column(2, {8, 0, 4, 9, 2, 6, 5})}),
         Join({Column(0, {5, 1, 9, 2, 7}), Column(1, {3}), Column(2, {8, 0, 9, 6, 5})})},
        {"a column met again later is a new run",
         Join({Column(5, {1, 2}), Column(6, {3}), Column(5, {4, 0, 9, 1, 8, 2, 7})}),
         Join({Column(5, {1, 2}), Column(6, {3}), Column(5, {4, 0, 9, 2, 7})})},
        {"far off-screen rows are ordinary rows",
         Column(9, {10, -(1 << 30), 20, 1 << 28, 30, 40, 50}),
         Column(9, {10, -(1 << 30), 1 << 28, 40, 50})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(ReducePolylineColumns(c.in.data(), c.in.size())), Text(c.out)) << c.what;
    }
}

TEST(PolylineReduceTest, AThousandVerticesInOneColumnBecomeAtMostSix) {
    Pixels in;
    for (int i = 0; i < 1000; ++i)
        in.emplace_back(17, (i * 7919) % 401);
    const Pixels out = ReducePolylineColumns(in.data(), in.size());
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
