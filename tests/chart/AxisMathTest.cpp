// The axis arithmetic: tick ladder, first tick, labels, value/pixel maps, zoom, scroll steps,
// the room an axis takes and where its marks, labels, caption and grid go.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "chart/ChartAxisMath.h"
#include "chart/ChartGrid.h"

using namespace qtmchart;

namespace {

AxisScale Horizontal(double min, double max, int start, int end, bool inverted = false) {
    return AxisScale{min, max, start, end, true, inverted};
}
AxisScale Vertical(double min, double max, int start, int end, bool inverted = false) {
    return AxisScale{min, max, start, end, false, inverted};
}

}  // namespace

struct IncrementCase {
    AxisScale scale;
    double increment;
    unsigned decimals;
};

TEST(AxisMathTest, TickIncrementFollowsTheOneTwoFiveLadder) {
    const IncrementCase cases[] = {
        {Horizontal(0, 1000, 0, 300), 100, 0},  // 10 ticks, raw step 100
        {Vertical(0, 1, 200, 0), 0.1, 1},       // 10 ticks, raw step 0.1
        {Horizontal(0, 1.3, 0, 300), 0.2, 1},   // raw step 0.13
        {Horizontal(0, 7, 0, 300), 1.0, 0},     // raw step 0.7: ten times the base
        {Horizontal(0, 0.5, 0, 300), 0.05, 2},  // raw step 0.05
        {Horizontal(0, 70, 0, 300), 10, 0},     // raw step 7
        {Vertical(-30, 30, 0, 200), 10, 0},     // negative start-to-end span counts too
        {Horizontal(0, 0.007, 0, 300), 0.001, 3},
    };
    for (const IncrementCase& c : cases) {
        const TickStep step = ComputeTickIncrement(c.scale, TickStep{});
        EXPECT_NEAR(step.increment, c.increment, c.increment * 1e-9)
            << c.scale.min << ".." << c.scale.max;
        EXPECT_EQ(step.decimals, c.decimals) << c.scale.min << ".." << c.scale.max;
    }
}

TEST(AxisMathTest, TickIncrementKeepsOldStepWhenNothingFits) {
    const TickStep previous{0.25, 2};
    // Shorter than one tick spacing: the raw step is infinite.
    TickStep step = ComputeTickIncrement(Horizontal(0, 10, 0, 29), previous);
    EXPECT_EQ(step.increment, 0.25);
    EXPECT_EQ(step.decimals, 2u);
    // A reversed range has a negative raw step, which has no place on the ladder either.
    step = ComputeTickIncrement(Horizontal(10, 5, 0, 300), previous);
    EXPECT_EQ(step.increment, 0.25);
    // A degenerate range has no increment at all but keeps its decimals.
    step = ComputeTickIncrement(Horizontal(4, 4, 0, 300), previous);
    EXPECT_EQ(step.increment, 0.0);
    EXPECT_EQ(step.decimals, 2u);
}

TEST(AxisMathTest, FirstTickIsSmallestMultipleNotBelowMinimum) {
    struct Case {
        double min, increment, expected;
    };
    const Case cases[] = {
        {-0.25, 0.1, -0.2}, {0.25, 0.1, 0.3},  {0.0, 0.1, 0.0}, {5.0, 0.0, 5.0},   {3.0, 2.0, 4.0},
        {-3.0, 2.0, -2.0},  {-4.0, 2.0, -4.0}, {100, 100, 100}, {-0.3, 0.1, -0.3}, {7.5, 5, 10},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ComputeFirstTick(c.min, c.increment), c.expected, 1e-12)
            << c.min << " step " << c.increment;
    }
    // Exact, not merely close: a minimum that is a multiple up to rounding keeps its tick.
    EXPECT_EQ(ComputeFirstTick(-0.25, 0.1), -2 * 0.1);
    EXPECT_EQ(ComputeFirstTick(-0.3, 0.1), -0.3);
    EXPECT_EQ(ComputeFirstTick(0.3, 0.1), 0.3);
}

TEST(AxisMathTest, FirstTickEndsForValuesBeyondThePrecisionOfTheStep) {
    const double first = ComputeFirstTick(1e16 + 2, 0.5);
    EXPECT_GE(first, 1e16);
    EXPECT_TRUE(std::isfinite(ComputeFirstTick(1e300, 1e-300)));
}

TEST(AxisMathTest, TickLabelsHaveExactlyTheDecimalCount) {
    struct Case {
        double value;
        unsigned decimals;
        const char* text;
    };
    const Case cases[] = {
        {0.0, 2, "0.00"},
        {0.05, 2, "0.05"},
        {0.1, 2, "0.10"},
        {1000, 0, "1000"},
        {0.1, 1, "0.1"},
        {-0.2, 1, "-0.2"},
        {2.5e-17, 1, "0.0"},
        // The sum of increments can land just below zero; the label must not read "-0.0".
        {-2.7e-17, 1, "0.0"},
        {-1e-9, 3, "0.000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTickLabel(c.value, c.decimals).toStdString(), c.text) << c.value;
    }
}

TEST(AxisMathTest, ValueToScreenForEachOrientation) {
    struct Case {
        AxisScale scale;
        double value;
        int pixel;
    };
    const Case cases[] = {
        {Horizontal(0, 100, 10, 110), 25, 35}, {Horizontal(0, 100, 10, 110, true), 25, 85},
        {Vertical(0, 1, 210, 10), 0.25, 160},  {Vertical(0, 1, 210, 10, true), 0.25, 60},
        {Horizontal(0, 3, 0, 100), 1, 33},  // floor of 33.3
        {Horizontal(0, 100, 10, 110), -10, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValueToScreenStandard(c.scale, c.value), c.pixel) << c.value;
        EXPECT_EQ(ValueToScreen(c.scale, c.value, false, 0), c.pixel) << c.value;
    }
}

TEST(AxisMathTest, ScreenToValueInvertsTheMap) {
    const AxisScale scales[] = {Horizontal(0, 100, 10, 110), Horizontal(0, 100, 10, 110, true),
                                Vertical(-5, 5, 210, 10), Vertical(-5, 5, 210, 10, true)};
    for (const AxisScale& s : scales) {
        for (int pixel : {10, 60, 110, 210}) {
            const double value = ScreenToValue(s, pixel);
            if (!IsPixelOnAxis(s, pixel)) continue;
            EXPECT_EQ(ValueToScreenStandard(s, value + 1e-9), pixel);
        }
    }
    EXPECT_DOUBLE_EQ(ScreenToValue(Horizontal(0, 100, 10, 110), 60), 50);
    EXPECT_DOUBLE_EQ(ScreenToValue(Vertical(0, 1, 210, 10), 160), 0.25);
}

TEST(AxisMathTest, DegenerateRangeMapsToTheMiddleAndBackToTheMinimum) {
    const AxisScale h = Horizontal(4, 4, 10, 111);
    const AxisScale v = Vertical(4, 4, 211, 10);
    EXPECT_EQ(ValueToScreen(h, 123, false, 0), 60);
    EXPECT_EQ(ValueToScreen(v, -7, false, 0), 111);
    EXPECT_DOUBLE_EQ(ScreenToValue(h, 77), 4);
    // The standard map has no pixel for it: no tick mark and no grid line.
    EXPECT_FALSE(IsPixelOnAxis(h, ValueToScreenStandard(h, 4)));
    // A zero-length axis answers its minimum instead of dividing by zero.
    EXPECT_DOUBLE_EQ(ScreenToValue(Horizontal(1, 2, 50, 50), 60), 1);
}

TEST(AxisMathTest, FarValuesStayInsideTheIntRange) {
    // Zoomed to the narrowest range on a 700-pixel axis, point 7500 lies 5e9 pixels away.
    const AxisScale s = Horizontal(10, 10.001, 50, 750);
    const int far = ValueToScreenStandard(s, 7500);
    const int near = ValueToScreenStandard(s, -7500);
    EXPECT_GT(far, 750);
    EXPECT_LT(near, 50);
    EXPECT_LT(far, 1 << 29);
    EXPECT_GT(near, -(1 << 29));
}

TEST(AxisMathTest, PixelOffsetIsTheFloorClampedToTheSafeRange) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const double bound = kMaxPixelOffset;
    const struct {
        double offset;
        int pixel;
    } cases[] = {{0.0, 0},
                 {-0.0, 0},
                 {0.99, 0},
                 {1.0, 1},
                 {-0.01, -1},
                 {-1.0, -1},
                 {-1.5, -2},
                 {123456.7, 123456},
                 {-123456.7, -123457},
                 {bound - 0.5, int(bound) - 1},
                 {bound + 0.5, int(bound)},
                 {-bound - 0.5, -int(bound)},
                 {1e300, int(bound)},
                 {-inf, -int(bound)},
                 {nan, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(FloorPixelOffset(c.offset), c.pixel) << c.offset;
        if (!std::isnan(c.offset)) {
            EXPECT_EQ(FloorPixelOffset(c.offset),
                      static_cast<int>(std::clamp(std::floor(c.offset), -bound, bound)))
                << c.offset;
        }
    }
}

TEST(AxisMathTest, DiscreteMapSnapsToTheMiddleOfTheSlot) {
    const AxisScale s = Horizontal(0, 100, 0, 100);
    EXPECT_EQ(ValueToScreenDiscrete(s, 3, 10), 5);
    EXPECT_EQ(ValueToScreenDiscrete(s, 10, 10), 15);
    EXPECT_EQ(ValueToScreenDiscrete(s, 19.99, 10), 15);
    EXPECT_EQ(ValueToScreenDiscrete(s, 42, 0), 42);
}

TEST(AxisMathTest, ScrollbarStepsAndPosition) {
    int steps = 0;
    int position = 0;
    ScrollbarSteps(0, 10, 0, 100, steps, position);
    EXPECT_EQ(steps, 100);
    EXPECT_EQ(position, 0);
    ScrollbarSteps(20, 30, 0, 100, steps, position);
    EXPECT_EQ(position, 20);
    ScrollbarSteps(0, 0, 0, 100, steps, position);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(position, 1);
    ScrollbarSteps(0, 1e-300, 0, 1e300, steps, position);  // no overflow
    EXPECT_GT(steps, 0);
}

TEST(AxisMathTest, AxesBoundThePlottingRectangle) {
    const ChartRect chart{0, 20, 400, 300};
    const QSize tick(30, 14);
    const QSize caption(16, 40);  // a vertical caption, already swapped

    EXPECT_EQ(AxisRoom(true, tick, QSize(40, 16)), 14 + 6 + 16);
    EXPECT_EQ(AxisRoom(false, tick, caption), 30 + 10 + 16);

    ChartRect plot = chart;
    ClipPlotForAxis(kBottomAxis, 36, tick, chart, plot);
    EXPECT_EQ(plot, (ChartRect{0, 20, 400 - 15 - 3, 300 - 36}));
    ClipPlotForAxis(kLeftAxis, 56, tick, chart, plot);
    EXPECT_EQ(plot, (ChartRect{56, 20 + 7 + 3, 382, 264}));

    plot = chart;
    ClipPlotForAxis(kTopAxis, 36, tick, chart, plot);
    ClipPlotForAxis(kRightAxis, 56, tick, chart, plot);
    EXPECT_EQ(plot, (ChartRect{0, 56, 344, 300}));
}

TEST(AxisMathTest, TickMarksLabelsAndCaptionsByPosition) {
    const ChartRect r{10, 20, 110, 220};
    const QSize text(20, 12);
    struct Case {
        int position;
        TickMark mark;
        QPoint label;
    };
    const Case cases[] = {
        {kBottomAxis, {QPoint(50, 21), QPoint(50, 23)}, QPoint(40, 25)},
        {kTopAxis, {QPoint(50, 219), QPoint(50, 217)}, QPoint(40, 220 - 12 - 5)},
        {kLeftAxis, {QPoint(109, 50), QPoint(107, 50)}, QPoint(10 + 16 + 4, 44)},
        {kRightAxis, {QPoint(11, 50), QPoint(13, 50)}, QPoint(16, 44)},
    };
    for (const Case& c : cases) {
        const TickMark mark = TickMarkFor(c.position, r, 50);
        EXPECT_EQ(mark.from, c.mark.from) << c.position;
        EXPECT_EQ(mark.to, c.mark.to) << c.position;
        EXPECT_EQ(TickLabelOrigin(c.position, r, 50, text, 16), c.label) << c.position;
    }

    const QSize caption(40, 16);
    EXPECT_EQ(CaptionOrigin(kBottomAxis, r, 10, 110, caption, 14), QPoint(40, 20 + 14 + 2));
    EXPECT_EQ(CaptionOrigin(kTopAxis, r, 10, 110, caption, 14), QPoint(40, 20));
    const QSize vertical(16, 40);
    EXPECT_EQ(CaptionOrigin(kLeftAxis, r, 220, 20, vertical, 14), QPoint(10, 120 + 20));
    EXPECT_EQ(CaptionOrigin(kRightAxis, r, 220, 20, vertical, 14), QPoint(110 - 16 - 2, 140));
}

TEST(AxisMathTest, AxisSpanFollowsThePlottingRectangle) {
    const ChartRect chart{0, 20, 400, 300};
    const ChartRect plot{50, 30, 380, 260};
    int start = 0;
    int end = 0;
    ChartRect rect;
    AxisSpanAndRect(kLeftAxis, chart, plot, start, end, rect);
    EXPECT_EQ(start, 260);
    EXPECT_EQ(end, 30);
    EXPECT_EQ(rect, (ChartRect{0, 20, 50, 300}));
    AxisSpanAndRect(kBottomAxis, chart, plot, start, end, rect);
    EXPECT_EQ(start, 50);
    EXPECT_EQ(end, 380);
    EXPECT_EQ(rect, (ChartRect{0, 260, 400, 300}));
    AxisSpanAndRect(kRightAxis, chart, plot, start, end, rect);
    EXPECT_EQ(rect, (ChartRect{380, 20, 400, 300}));
    AxisSpanAndRect(kTopAxis, chart, plot, start, end, rect);
    EXPECT_EQ(rect, (ChartRect{0, 20, 400, 30}));
}

TEST(AxisMathTest, GridIsDottedThreeOnThreeOffInsideThePlot) {
    const ChartRect plot{10, 10, 50, 30};
    // 5 and 50 lie outside the plotting area (its right edge is exclusive).
    const std::vector<QLine> vertical = GridSegments(true, plot, {20, 5, 50});
    const std::vector<QLine> expectedV = {QLine(20, 29, 20, 28), QLine(20, 24, 20, 22),
                                          QLine(20, 18, 20, 16), QLine(20, 12, 20, 10)};
    EXPECT_EQ(vertical, expectedV);

    const ChartRect tall{10, 10, 30, 50};
    const std::vector<QLine> horizontal = GridSegments(false, tall, {20, 50, 9});
    const std::vector<QLine> expectedH = {QLine(10, 20, 12, 20), QLine(16, 20, 18, 20),
                                          QLine(22, 20, 24, 20), QLine(28, 20, 29, 20)};
    EXPECT_EQ(horizontal, expectedH);
    // The sentinel pixel of a degenerate range draws nothing.
    EXPECT_TRUE(GridSegments(true, plot, {kOffAxisPixel}).empty());
}

TEST(AxisMathTest, StampedGridCoversExactlyTheDottedSegments) {
    // The grid draws one ready-made line of dots per tick; it must paint the very pixels of
    // the dot-by-dot definition, for every plotting size (the phase of the dots at the far
    // edge depends on it).
    auto blank = [] {
        QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        return image;
    };
    CChartGrid grid;
    grid.SetColor(0x102030);
    for (bool horizontalAxis : {true, false}) {
        grid.SetHorizontal(horizontalAxis);
        grid.ClearTicks();
        for (int tick : {5, 9, 21, 39})
            grid.AddTick(tick);
        for (int extent = 1; extent <= 50; ++extent) {
            const ChartRect plot =
                horizontalAxis ? ChartRect{5, 7, 40, 7 + extent} : ChartRect{7, 5, 7 + extent, 40};
            QImage reference = blank();
            {
                QPainter p(&reference);
                p.setPen(QPen(QColor(0x30, 0x20, 0x10), 0));
                const std::vector<QLine> dots = GridSegments(horizontalAxis, plot, grid.GetTicks());
                p.drawLines(dots.data(), static_cast<int>(dots.size()));
            }
            QImage stamped = blank();
            {
                QPainter p(&stamped);
                grid.Draw(&p, plot);
            }
            EXPECT_EQ(stamped, reference)
                << (horizontalAxis ? "vertical lines" : "horizontal lines") << " over " << extent
                << " pixels";
        }
    }
}
