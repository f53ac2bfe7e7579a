#include <gtest/gtest.h>

#include "widgets/GroupFrame.h"

using qtmui::CaptionAlign;
using qtmui::ComputeGroupFrame;
using qtmui::EdgeRect;

TEST(GroupFrame, CaptionSpanFollowsTheAlignment) {
    struct Case {
        CaptionAlign align;
        int top, left, right, frameY;
    };
    // Box 200 wide, caption 50 × 14; the frame line runs through the caption's middle.
    const Case cases[] = {
        {CaptionAlign::Left, 0, 10, 60, 7},
        {CaptionAlign::Center, 0, 75, 125, 7},
        {CaptionAlign::Right, 0, 140, 190, 7},
        {CaptionAlign::Left, 4, 10, 60, 11},
    };
    for (const Case& c : cases) {
        const auto g = ComputeGroupFrame(EdgeRect{0, c.top, 200, 100}, 50, 14, c.align, false);
        EXPECT_EQ(g.captionLeft, c.left);
        EXPECT_EQ(g.captionRight, c.right);
        EXPECT_EQ(g.frameY, c.frameY);
    }
}

TEST(GroupFrame, DarkPassLeavesTheCaptionOpen) {
    for (bool flat : {false, true}) {
        const auto g =
            ComputeGroupFrame(EdgeRect{0, 0, 200, 100}, 50, 14, CaptionAlign::Center, flat);
        ASSERT_EQ(g.darkPass.size(), 1u);
        const qtmui::Polyline& line = g.darkPass.front();
        // It starts at the caption's left end, goes round and ends at its right end.
        EXPECT_EQ(line.front(), QPoint(75, 7));
        EXPECT_EQ(line.back(), QPoint(125, 7));
        for (size_t i = 1; i + 1 < line.size(); ++i) {
            const bool onTopLine = line[i].y() == 7;
            EXPECT_TRUE(!onTopLine || line[i].x() <= 75 || line[i].x() >= 125) << i;
        }
    }
}

TEST(GroupFrame, EtchedAndFlatCornersDiffer) {
    const EdgeRect rect{0, 0, 200, 100};
    const auto etched = ComputeGroupFrame(rect, 50, 14, CaptionAlign::Left, false);
    const auto flat = ComputeGroupFrame(rect, 50, 14, CaptionAlign::Left, true);
    // The etched shadow sits one pixel inside the bottom-right; the flat outline on the edge.
    EXPECT_EQ(etched.darkPass.front()[3], QPoint(199, 99));
    EXPECT_EQ(flat.darkPass.front()[3], QPoint(200, 100));
    // The etched highlight is three strokes (left, bottom-right, top-right stub).
    EXPECT_EQ(etched.lightPass.size(), 3u);
    EXPECT_EQ(flat.lightPass.size(), 1u);
    EXPECT_EQ(flat.lightPass.front()[2], QPoint(1, 99));
}
