// Axes inside a chart: automatic ranges from the series, zoom, pan and scroll on the range,
// the hidden scroll bars, the room the axes take, and what they paint (line, ticks, grid).
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <vector>

#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartGrid.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartScrollBar.h"
#include "chart/ChartStandardAxis.h"

using qtmchart::ChartRect;

namespace {

constexpr QRgb kGridGrey = qRgb(0x80, 0x80, 0x80);

CChartLineSerie* AddLine(CChartCtrl& chart, const std::vector<double>& x,
                         const std::vector<double>& y) {
    auto* serie = new CChartLineSerie(&chart);
    chart.AttachCustomSerie(serie);
    serie->SetSeriesOrdering(0);
    serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
    return serie;
}

// A hidden 400 x 300 chart set up like the window's live chart.
std::unique_ptr<CChartCtrl> LiveLikeChart() {
    auto chart = std::make_unique<CChartCtrl>();
    chart->resize(400, 300);
    chart->EnableRefresh(false);
    chart->SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    CChartStandardAxis* bottom = chart->CreateStandardAxis(CChartCtrl::BottomAxis);
    bottom->SetMinMax(0, 100);
    bottom->GetLabel()->SetText("x(No.)");
    CChartStandardAxis* left = chart->CreateStandardAxis(CChartCtrl::LeftAxis);
    left->SetMinMax(0, 2000);
    left->GetLabel()->SetText("y(P)");
    chart->EnableRefresh(true);
    return chart;
}

int CountPixels(const QImage& image, const ChartRect& r, QRgb colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
        }
    }
    return n;
}

}  // namespace

TEST(AxisInChartTest, AutomaticRangeWidensOverSeveralSeries) {
    auto chart = LiveLikeChart();
    CChartAxis* bottom = chart->GetAxis(CChartCtrl::BottomAxis);
    bottom->SetAutomatic();
    AddLine(*chart, {10, 20}, {1, 2});
    AddLine(*chart, {-5, 15}, {1, 2});
    EXPECT_EQ(bottom->GetMin(), -5.0);
    EXPECT_EQ(bottom->GetMax(), 20.0);
}

TEST(AxisInChartTest, AutomaticAxisWithoutSeriesIsDegenerateAndDrawsNoGrid) {
    auto chart = LiveLikeChart();
    chart->GetAxis(CChartCtrl::LeftAxis)->SetAutomatic();
    chart->GetAxis(CChartCtrl::BottomAxis)->SetAutomatic();
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);
    EXPECT_EQ(left->GetMin(), 0.0);
    EXPECT_EQ(left->GetMax(), 0.0);
    chart->RefreshCtrl();
    // Every value sits in the middle of the axis, every pixel reads the minimum.
    const int mid = left->GetStartPixel() - (left->GetStartPixel() - left->GetEndPixel()) / 2;
    EXPECT_NEAR(left->ValueToScreen(12345), mid, 1);
    EXPECT_EQ(left->ScreenToValue(17), 0.0);
    const ChartRect plot = chart->GetPlottingRect();
    EXPECT_EQ(CountPixels(*chart->GetBackgroundImage(), plot, kGridGrey), 0);
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
    auto chart = LiveLikeChart();
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);
    left->SetMinMax(10, 5);
    EXPECT_EQ(left->GetMin(), 10.0);
    EXPECT_EQ(left->GetMax(), 5.0);
    chart->RefreshCtrl();  // must end: the tick walk stops at once
    EXPECT_LE(left->GetGrid()->GetTicks().size(), 1u);
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

TEST(AxisInChartTest, ScrollBarsStayHiddenButFollowTheRange) {
    auto chart = LiveLikeChart();
    CChartAxis* bottom = chart->GetAxis(CChartCtrl::BottomAxis);
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);
    bottom->SetMinMax(0, 10);
    left->SetMinMax(0, 50);
    std::vector<double> x(101);
    std::vector<double> y(101);
    for (int i = 0; i <= 100; ++i)
        x[i] = y[i] = i;
    AddLine(*chart, x, y);

    ASSERT_NE(bottom->GetScrollBar(), nullptr);
    int lo = -1;
    int hi = -1;
    bottom->GetScrollBar()->GetScrollRange(lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 99);  // 100 steps of a tenth of the visible range
    EXPECT_EQ(bottom->GetScrollBar()->GetScrollPos(), 0);
    // A vertical bar runs top-down while values grow upward.
    left->GetScrollBar()->GetScrollRange(lo, hi);
    EXPECT_EQ(hi, 19);
    EXPECT_EQ(left->GetScrollBar()->GetScrollPos(), 20 - 0 - 9);
    EXPECT_FALSE(bottom->GetScrollBar()->isVisible());
    EXPECT_FALSE(left->GetScrollBar()->isVisible());
}

TEST(AxisInChartTest, AxesTakeTheRoomOfTheirLabelsAndCaptions) {
    auto chart = LiveLikeChart();
    chart->RefreshCtrl();
    CChartAxis* bottom = chart->GetAxis(CChartCtrl::BottomAxis);
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);
    const ChartRect plot = chart->GetPlottingRect();
    // The drawing rectangle is the client area less 3 pixels on each side.
    EXPECT_EQ(plot.left, 3 + left->GetMarginSize());
    EXPECT_EQ(plot.bottom, 297 - bottom->GetMarginSize());
    // Room for "2000" and the rotated caption; room for "100" and the caption below.
    EXPECT_GT(left->GetMarginSize(), 10 + 16);
    EXPECT_GT(bottom->GetMarginSize(), 6 + 16);
    EXPECT_EQ(left->GetStartPixel(), plot.bottom);
    EXPECT_EQ(left->GetEndPixel(), plot.top);
    EXPECT_EQ(bottom->GetStartPixel(), plot.left);
    EXPECT_EQ(bottom->GetEndPixel(), plot.right);
}

TEST(AxisInChartTest, FixedMarginIsUsedAsGiven) {
    auto chart = LiveLikeChart();
    chart->GetAxis(CChartCtrl::LeftAxis)->SetMarginSize(false, 70);
    chart->RefreshCtrl();
    EXPECT_EQ(chart->GetPlottingRect().left, 3 + 70);
}

TEST(AxisInChartTest, InvisibleAxisTakesNoRoomAndDrawsNothing) {
    auto chart = LiveLikeChart();
    chart->RefreshCtrl();
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);
    const int tickY = left->GetGrid()->GetTicks()[2];
    left->SetVisible(false);
    const ChartRect plot = chart->GetPlottingRect();
    EXPECT_EQ(plot.left, 3);
    // Only the bottom axis' vertical grid lines cross that row now.
    const ChartRect row{plot.left, tickY, plot.right, tickY + 1};
    EXPECT_LT(CountPixels(*chart->GetBackgroundImage(), row, kGridGrey), plot.Width() / 6);
}

TEST(AxisInChartTest, AxisLineTicksAndDottedGridArePainted) {
    auto chart = LiveLikeChart();
    chart->RefreshCtrl();
    const QImage& image = *chart->GetBackgroundImage();
    const ChartRect plot = chart->GetPlottingRect();
    CChartAxis* left = chart->GetAxis(CChartCtrl::LeftAxis);

    // 0..2000 over the plot height: ticks every 100 or 200, all on the axis.
    const std::vector<int>& ticks = left->GetGrid()->GetTicks();
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
    EXPECT_EQ(CountPixels(image, title, kGridGrey), 0);
}

TEST(AxisInChartTest, TickLabelsAndCaptionArePaintedBesideTheAxis) {
    auto chart = LiveLikeChart();
    chart->RefreshCtrl();
    const QImage& image = *chart->GetBackgroundImage();
    const ChartRect plot = chart->GetPlottingRect();
    // Dark text pixels left of the axis (labels and the rotated caption) and below it.
    auto darkIn = [&](const ChartRect& r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (qGray(image.pixel(x, y)) < 90) ++n;
            }
        }
        return n;
    };
    EXPECT_GT(darkIn(ChartRect{4, plot.top, plot.left - 5, plot.bottom}), 40);
    EXPECT_GT(darkIn(ChartRect{plot.left, plot.bottom + 5, plot.right, 297}), 40);
    // The rotated caption sits in the leftmost strip, about the middle of the axis.
    CChartAxisLabel* caption = chart->GetAxis(CChartCtrl::LeftAxis)->GetLabel();
    const QSize size = caption->GetSize(nullptr);
    EXPECT_GT(size.height(), size.width());  // swapped for a vertical caption
    const int mid = (plot.top + plot.bottom) / 2;
    EXPECT_GT(darkIn(ChartRect{3, mid - 10, 3 + size.width() + 2, mid + 10}), 5);
}

TEST(AxisInChartTest, ScrollBarStepsMoveTheAxisByATenthOfItsRange) {
    // The bars are never shown in the window, but an enabled one must still drive its axis.
    auto chart = LiveLikeChart();
    CChartAxis* bottom = chart->GetAxis(CChartCtrl::BottomAxis);
    bottom->SetMinMax(0, 10);
    std::vector<double> x(101);
    for (int i = 0; i <= 100; ++i)
        x[i] = i;
    AddLine(*chart, x, x);
    CChartScrollBar* bar = bottom->GetScrollBar();
    bar->SetEnabled(true);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_DOUBLE_EQ(bottom->GetMin(), 1.0);
    EXPECT_DOUBLE_EQ(bottom->GetMax(), 11.0);
    EXPECT_EQ(bar->GetScrollPos(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_DOUBLE_EQ(bottom->GetMin(), 11.0);
}
