// Size and placement of the title and the legend, over given text extents.
#include <gtest/gtest.h>

#include "chart/ChartLayoutMath.h"

using namespace qtmchart;

TEST(TitleLayoutTest, TwoLinesOfHeight16TakeForty) {
    const std::vector<QSize> lines = {QSize(100, 16), QSize(80, 16)};
    EXPECT_EQ(TitleSize(lines), QSize(102, 40));
    const std::vector<int> tops = TitleLineTops(3, lines);
    ASSERT_EQ(tops.size(), 2u);
    EXPECT_EQ(tops[0], 3 + 4);
    EXPECT_EQ(tops[1], tops[0] + 18);
}

TEST(TitleLayoutTest, LinesAreCentred) {
    EXPECT_EQ(TitleLineLeft(ChartRect{3, 3, 403, 40}, 100), 3 + 200 - 50);
    EXPECT_EQ(TitleLineLeft(ChartRect{0, 0, 101, 40}, 31), 50 - 15);
}

TEST(LegendLayoutTest, SizeInBothModes) {
    const std::vector<QSize> names = {QSize(50, 15), QSize(30, 18)};
    const QSize sample(16, 16);
    EXPECT_EQ(LegendSize(names, sample, true), QSize((14 + 16 + 50) + (14 + 16 + 30) - 6, 26));
    EXPECT_EQ(LegendSize(names, sample, false), QSize(50 + 16 + 12, (16 + 2) + (18 + 2) + 6));
    EXPECT_EQ(LegendSize({}, sample, true), QSize(0, 0));
}

TEST(LegendLayoutTest, PlacementForEveryDockingSideAndFree) {
    const ChartRect chart{0, 0, 400, 300};
    const QSize size(100, 20);
    struct Case {
        bool docked;
        int side;
        ChartRect rect;
        ChartRect chartAfter;
    };
    const Case cases[] = {
        {true, kLegendRight, {294, 139, 394, 161}, {0, 0, 292, 300}},
        {true, kLegendLeft, {3, 139, 103, 161}, {105, 0, 400, 300}},
        {true, kLegendTop, {150, 3, 250, 23}, {0, 25, 400, 300}},
        {true, kLegendBottom, {150, 278, 250, 298}, {0, 0, 400, 276}},
        {false, kLegendBottom, {10, 20, 110, 42}, {0, 0, 400, 300}},
    };
    for (const Case& c : cases) {
        const ChartRect legend = LegendRect(size, chart, c.docked, c.side, 10, 20);
        EXPECT_EQ(legend, c.rect) << c.side << c.docked;
        EXPECT_EQ(ChartRectBesideLegend(chart, legend, c.docked, c.side), c.chartAfter)
            << c.side << c.docked;
    }
}

TEST(LegendLayoutTest, EntriesAdvanceAcrossOrDown) {
    const ChartRect legend{100, 50, 300, 90};
    const std::vector<QSize> names = {QSize(50, 14), QSize(30, 20)};
    const QSize sample(16, 16);

    const auto across = LegendEntryPlaces(legend, names, sample, true);
    ASSERT_EQ(across.size(), 2u);
    EXPECT_EQ(across[0].sample, (ChartRect{102, 55, 118, 71}));
    EXPECT_EQ(across[0].textLeft, 122);
    EXPECT_EQ(across[0].textTop, 56);  // centred on the sample box
    EXPECT_EQ(across[1].sample.left, 102 + 50 + 14 + 16);
    EXPECT_EQ(across[1].sample.top, 55);

    const auto down = LegendEntryPlaces(legend, names, sample, false);
    EXPECT_EQ(down[1].sample, (ChartRect{102, 55 + 16 + 2, 118, 55 + 18 + 16}));
    EXPECT_EQ(down[1].textTop, 73 - 2);
}
