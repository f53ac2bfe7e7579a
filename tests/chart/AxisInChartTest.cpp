// Axes inside a chart: automatic ranges from the series, zoom, pan and scroll on the range,
// the hidden scroll bars, the room the axes take, and what they paint (line, ticks, grid).
#include <gtest/gtest.h>

#include "TestChart.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartGrid.h"
#include "chart/ChartScrollBar.h"

using qtmchart::ChartRect;

namespace {

constexpr QRgb kGridGrey = qRgb(0x80, 0x80, 0x80);

// Set up like the window's live chart.
struct LiveLikeChart : TestChart {
    LiveLikeChart() : TestChart(100, 2000) {
        bottom->GetLabel()->SetText("x(No.)");
        left->GetLabel()->SetText("y(P)");
    }
};

}  // namespace

TEST(AxisInChartTest, AutomaticRangeWidensOverSeveralSeries) {
    LiveLikeChart f;
    f.bottom->SetAutomatic();
    f.Line({10, 20}, {1, 2}, qtmchart::kNoOrdering);
    f.Line({-5, 15}, {1, 2}, qtmchart::kNoOrdering);
    EXPECT_EQ(Range(f.bottom), std::pair(-5.0, 20.0));
}

TEST(AxisInChartTest, AutomaticAxisWithoutSeriesIsDegenerateAndDrawsNoGrid) {
    LiveLikeChart f;
    f.left->SetAutomatic();
    f.bottom->SetAutomatic();
    EXPECT_EQ(Range(f.left), std::pair(0.0, 0.0));
    f.chart.RefreshCtrl();
    // Every value sits in the middle of the axis, every pixel reads the minimum.
    const int mid = f.left->GetStartPixel() - (f.left->GetStartPixel() - f.left->GetEndPixel()) / 2;
    EXPECT_NEAR(f.left->ValueToScreen(12345), mid, 1);
    EXPECT_EQ(f.left->ScreenToValue(17), 0.0);
    const ChartRect plot = f.chart.GetPlottingRect();
    EXPECT_EQ(CountColour(*f.chart.GetBackgroundImage(), plot, kGridGrey), 0);
}

TEST(AxisInChartTest, ZoomPanAndScrollMoveTheRangeButNotTheSavedOne) {
    CChartStandardAxis axis;  // not attached: no control to refresh
    axis.SetStartEndPixels(0, 100);
    axis.SetMinMax(0, 10);

    axis.SetZoomMinMax(2, 2.0004);
    EXPECT_EQ(axis.GetMin(), 2.0);
    EXPECT_EQ(axis.GetMax(), 2.0 + 0.001);
    axis.UndoZoom();
    EXPECT_EQ(axis.GetMin(), 0.0);
    EXPECT_EQ(axis.GetMax(), 10.0);

    axis.SetMinMax(0, 100);
    axis.PanAxis(50, 40);  // dragged 10 pixels left: the view moves right
    EXPECT_DOUBLE_EQ(axis.GetMin(), 10.0);
    EXPECT_DOUBLE_EQ(axis.GetMax(), 110.0);
    axis.ScrollBy(0, 2, false);
    EXPECT_DOUBLE_EQ(axis.GetMin(), 30.0);
    axis.ScrollBy(0, 2, true);
    EXPECT_DOUBLE_EQ(axis.GetMin(), 10.0);
    double savedMin = 0;
    double savedMax = 0;
    axis.GetSavedMinMax(savedMin, savedMax);
    EXPECT_EQ(savedMax, 100.0);
}

TEST(AxisInChartTest, ZoomIsRefusedOnADegenerateRangeOrWhenDisabled) {
    CChartStandardAxis axis;
    axis.SetMinMax(5, 5);
    axis.SetZoomMinMax(1, 2);
    EXPECT_EQ(axis.GetMin(), 5.0);
    axis.SetMinMax(0, 10);
    axis.EnableZoom(false);
    axis.SetZoomMinMax(1, 2);
    EXPECT_EQ(axis.GetMax(), 10.0);
}

TEST(AxisInChartTest, ReversedRangeIsKeptAndStillDraws) {
    LiveLikeChart f;
    f.left->SetMinMax(10, 5);
    EXPECT_EQ(Range(f.left), std::pair(10.0, 5.0));
    f.chart.RefreshCtrl();  // must end: the tick walk stops at once
    EXPECT_LE(f.left->GetGrid()->GetTicks().size(), 1u);
}

TEST(AxisInChartTest, SeriesRegisterOnceAndOutliveADeletedAxis) {
    CChartCtrl chart;
    auto* axis = new CChartStandardAxis();
    auto* serie = new CChartLineSerie(&chart);
    serie->SetVerticalAxis(axis);
    axis->RegisterSerie(serie);
    axis->RegisterSerie(serie);
    EXPECT_EQ(axis->GetRegisteredSeries().size(), 1u);
    delete axis;
    EXPECT_EQ(serie->GetVerticalAxis(), nullptr);
    delete serie;  // must not reach back into the deleted axis
}

TEST(AxisInChartTest, ScrollBarsStayHiddenButFollowAndDriveTheRange) {
    LiveLikeChart f;
    f.bottom->SetMinMax(0, 10);
    f.left->SetMinMax(0, 50);
    std::vector<double> x(101);
    for (int i = 0; i <= 100; ++i)
        x[i] = i;
    f.Line(x, x, qtmchart::kNoOrdering);

    ASSERT_NE(f.bottom->GetScrollBar(), nullptr);
    int lo = -1;
    int hi = -1;
    f.bottom->GetScrollBar()->GetScrollRange(lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 99);  // 100 steps of a tenth of the visible range
    EXPECT_EQ(f.bottom->GetScrollBar()->GetScrollPos(), 0);
    // A vertical bar runs top-down while values grow upward.
    f.left->GetScrollBar()->GetScrollRange(lo, hi);
    EXPECT_EQ(hi, 19);
    EXPECT_EQ(f.left->GetScrollBar()->GetScrollPos(), 20 - 0 - 9);
    EXPECT_FALSE(f.bottom->GetScrollBar()->isVisible());
    EXPECT_FALSE(f.left->GetScrollBar()->isVisible());

    // Never shown in the window, but an enabled bar must still drive its axis.
    CChartScrollBar* bar = f.bottom->GetScrollBar();
    bar->SetEnabled(true);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_DOUBLE_EQ(f.bottom->GetMin(), 1.0);
    EXPECT_DOUBLE_EQ(f.bottom->GetMax(), 11.0);
    EXPECT_EQ(bar->GetScrollPos(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_DOUBLE_EQ(f.bottom->GetMin(), 11.0);
}

TEST(AxisInChartTest, AxesTakeTheRoomOfTheirLabelsAndCaptions) {
    LiveLikeChart f;
    f.chart.RefreshCtrl();
    const ChartRect plot = f.chart.GetPlottingRect();
    // The drawing rectangle is the client area less 3 pixels on each side.
    EXPECT_EQ(plot.left, 3 + f.left->GetMarginSize());
    EXPECT_EQ(plot.bottom, 297 - f.bottom->GetMarginSize());
    // Room for "2000" and the rotated caption; room for "100" and the caption below.
    EXPECT_GT(f.left->GetMarginSize(), 10 + 16);
    EXPECT_GT(f.bottom->GetMarginSize(), 6 + 16);
    EXPECT_EQ(f.left->GetStartPixel(), plot.bottom);
    EXPECT_EQ(f.left->GetEndPixel(), plot.top);
    EXPECT_EQ(f.bottom->GetStartPixel(), plot.left);
    EXPECT_EQ(f.bottom->GetEndPixel(), plot.right);
}

TEST(AxisInChartTest, FixedMarginIsUsedAsGiven) {
    LiveLikeChart f;
    f.left->SetMarginSize(false, 70);
    f.chart.RefreshCtrl();
    EXPECT_EQ(f.chart.GetPlottingRect().left, 3 + 70);
}

TEST(AxisInChartTest, InvisibleAxisTakesNoRoomAndDrawsNothing) {
    LiveLikeChart f;
    f.chart.RefreshCtrl();
    const int tickY = f.left->GetGrid()->GetTicks()[2];
    f.left->SetVisible(false);
    const ChartRect plot = f.chart.GetPlottingRect();
    EXPECT_EQ(plot.left, 3);
    // Only the bottom axis' vertical grid lines cross that row now.
    const ChartRect row{plot.left, tickY, plot.right, tickY + 1};
    EXPECT_LT(CountColour(*f.chart.GetBackgroundImage(), row, kGridGrey), plot.Width() / 6);
}

TEST(AxisInChartTest, AxisLineTicksAndDottedGridArePainted) {
    LiveLikeChart f;
    f.chart.RefreshCtrl();
    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect plot = f.chart.GetPlottingRect();

    // 0..2000 over the plot height: ticks every 100 or 200, all on the axis.
    const std::vector<int>& ticks = f.left->GetGrid()->GetTicks();
    ASSERT_GE(ticks.size(), 5u);
    const int midY = (plot.top + plot.bottom) / 2;
    EXPECT_EQ(image.pixel(plot.left - 1, midY) & 0xFFFFFF, 0u);  // axis line, black

    const int tickY = ticks[ticks.size() / 2];
    ASSERT_GT(tickY, plot.top);
    ASSERT_LT(tickY, plot.bottom);
    EXPECT_EQ(image.pixel(plot.left - 2, tickY) & 0xFFFFFF, 0u);  // tick mark
    EXPECT_EQ(image.pixel(plot.left - 3, tickY) & 0xFFFFFF, 0u);
    // Dotted grid: 3 grey pixels, 3 skipped, from the left edge of the plotting area.
    for (int x : {plot.left + 1, plot.left + 2, plot.left + 6, plot.left + 7, plot.left + 8}) {
        EXPECT_EQ(image.pixel(x, tickY), kGridGrey) << x;
    }
    for (int x : {plot.left + 3, plot.left + 4, plot.left + 5, plot.left + 9}) {
        EXPECT_NE(image.pixel(x, tickY), kGridGrey) << x;
    }
    // No grid outside the plotting area.
    const ChartRect title{0, 0, 400, plot.top};
    EXPECT_EQ(CountColour(image, title, kGridGrey), 0);
}

TEST(AxisInChartTest, TickLabelsAndCaptionArePaintedBesideTheAxis) {
    LiveLikeChart f;
    f.chart.RefreshCtrl();
    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect plot = f.chart.GetPlottingRect();
    // Dark text pixels left of the axis (labels and the rotated caption) and below it.
    auto darkIn = [&](const ChartRect& r) {
        return CountPixels(image, r, [](QRgb p) { return qGray(p) < 90; });
    };
    EXPECT_GT(darkIn(ChartRect{4, plot.top, plot.left - 5, plot.bottom}), 40);
    EXPECT_GT(darkIn(ChartRect{plot.left, plot.bottom + 5, plot.right, 297}), 40);
    // The rotated caption sits in the leftmost strip, about the middle of the axis.
    CChartAxisLabel* caption = f.left->GetLabel();
    const QSize size = caption->GetSize(nullptr);
    EXPECT_GT(size.height(), size.width());  // swapped for a vertical caption
    const int mid = (plot.top + plot.bottom) / 2;
    EXPECT_GT(darkIn(ChartRect{3, mid - 10, 3 + size.width() + 2, mid + 10}), 5);
}
