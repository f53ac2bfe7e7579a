// The chart control: refresh nesting, serie colours and ownership, axis replacement, and the
// mouse (zoom, un-zoom, pan) driven with QTest events.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <memory>
#include <vector>

#include "TestChart.h"
#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"

using qtmchart::ChartRect;

namespace {

// Counts full drawing passes.
class CountingChart : public CChartCtrl {
public:
    int m_nDraws = 0;
    void DrawBackground(QPainter* dc, ChartRect rect) override {
        ++m_nDraws;
        CChartCtrl::DrawBackground(dc, rect);
    }
};

// Shown, with axes 0..100 on the left and bottom.
struct ShownChart : TestChart {
    ShownChart() : TestChart(100, 100) {
        chart.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&chart));
        chart.RefreshCtrl();
    }
};

void Drag(CChartCtrl& chart, Qt::MouseButton button, QPoint from, QPoint to) {
    QTest::mousePress(&chart, button, Qt::NoModifier, from);
    QTest::mouseMove(&chart, to);
    QTest::mouseRelease(&chart, button, Qt::NoModifier, to);
}

}  // namespace

TEST(CtrlTest, RefreshNestsAndRunsOnceOnTheLastEnable) {
    CountingChart chart;
    chart.resize(200, 150);
    chart.RefreshCtrl();
    ASSERT_EQ(chart.m_nDraws, 1);

    chart.EnableRefresh(false);
    chart.EnableRefresh(false);
    chart.RefreshCtrl();
    chart.RefreshCtrl();
    EXPECT_EQ(chart.m_nDraws, 1);
    chart.EnableRefresh(true);
    EXPECT_FALSE(chart.IsRefreshEnabled());
    EXPECT_EQ(chart.m_nDraws, 1);
    chart.EnableRefresh(true);
    EXPECT_EQ(chart.m_nDraws, 2);  // the pending refresh, once
    chart.EnableRefresh(false);
    chart.EnableRefresh(true);
    EXPECT_EQ(chart.m_nDraws, 2);  // nothing was pending
}

TEST(CtrlTest, MainWindowSequenceDrawsOnce) {
    CountingChart chart;
    chart.resize(300, 200);
    chart.CreateStandardAxis(CChartCtrl::BottomAxis)->SetMinMax(0, 99);
    chart.CreateStandardAxis(CChartCtrl::LeftAxis)->SetAutomatic(true);
    chart.RefreshCtrl();
    const int before = chart.m_nDraws;
    std::vector<double> x(100);
    std::vector<double> y(100);
    for (int i = 0; i < 100; ++i) {
        x[i] = i;
        y[i] = i % 7;
    }
    chart.EnableRefresh(false);
    chart.RemoveAllSeries();
    auto* serie = new CChartLineSerie(&chart);
    chart.AttachCustomSerie(serie);
    serie->SetSeriesOrdering(0);
    serie->AddPoints(x.data(), y.data(), 100);
    serie->SetWidth(1);
    chart.EnableRefresh(true);
    EXPECT_EQ(chart.m_nDraws, before + 1);
    EXPECT_EQ(chart.GetLeftAxis()->GetMin(), 0.0);
    EXPECT_EQ(chart.GetLeftAxis()->GetMax(), 6.0);
}

TEST(CtrlTest, SerieColoursFollowTheTableAndWrapAfterTen) {
    CChartCtrl chart;
    chart.resize(200, 150);
    std::vector<CChartSerie::ColorRef> colours;
    for (int i = 0; i < 11; ++i) {
        auto* serie = new CChartLineSerie(&chart);
        chart.AttachCustomSerie(serie);
        colours.push_back(serie->GetColor());
    }
    const std::vector<CChartSerie::ColorRef> expected = {0x0000FF, 0x009600, 0xFF0000, 0x00FFFF,
                                                         0xFFFF00, 0x0080FF, 0x800080, 0x008080,
                                                         0xFF00FF, 0x808040, 0x0000FF};
    EXPECT_EQ(colours, expected);

    // After removing them all, the next serie is red again whatever its id.
    chart.RemoveAllSeries();
    auto* serie = new CChartLineSerie(&chart);
    chart.AttachCustomSerie(serie);
    EXPECT_EQ(serie->GetColor(), 0x0000FFu);
    EXPECT_EQ(chart.GetSeriesCount(), 1u);
}

TEST(CtrlTest, ReplacingAnAxisMovesItsSeriesToTheNewOne) {
    TestChart f;
    auto* serie = f.Line({1, 2, 3}, {4, 5, 6});
    CChartStandardAxis* replacement = f.chart.CreateStandardAxis(CChartCtrl::LeftAxis);
    EXPECT_EQ(serie->GetVerticalAxis(), replacement);
    ASSERT_EQ(replacement->GetRegisteredSeries().size(), 1u);
    replacement->SetAutomatic(true);
    EXPECT_EQ(Range(replacement), std::pair(4.0, 6.0));
    f.chart.RefreshCtrl();  // draws against the new axis, not the deleted one
}

TEST(CtrlTest, AnAxisThatHasAPlaceIsNotAttachedAgain) {
    auto other = std::make_unique<CChartCtrl>();
    CChartStandardAxis* foreign = other->CreateStandardAxis(CChartCtrl::BottomAxis);
    {
        CChartCtrl chart;
        CChartStandardAxis* left = chart.CreateStandardAxis(CChartCtrl::LeftAxis);
        chart.AttachCustomAxis(left, CChartCtrl::RightAxis);
        chart.AttachCustomAxis(left, CChartCtrl::LeftAxis);
        chart.AttachCustomAxis(foreign, CChartCtrl::TopAxis);
        EXPECT_EQ(chart.GetAxis(CChartCtrl::LeftAxis), left);
        EXPECT_EQ(chart.GetAxis(CChartCtrl::RightAxis), nullptr);
        EXPECT_EQ(chart.GetAxis(CChartCtrl::TopAxis), nullptr);
    }  // each axis is deleted once, by its own chart
    EXPECT_EQ(other->GetAxis(CChartCtrl::BottomAxis), foreign);
    EXPECT_EQ(foreign->GetParent(), other.get());
}

TEST(CtrlTest, RemoveAllSeriesKeepsTheAutomaticRangeUntilTheNextSerie) {
    TestChart f;
    f.left->SetAutomatic(true);
    f.Line({0, 1, 2}, {3, 7, 5});
    EXPECT_EQ(Range(f.left), std::pair(3.0, 7.0));
    f.chart.RemoveAllSeries();
    EXPECT_EQ(Range(f.left), std::pair(3.0, 7.0));
    f.Line({0, 1}, {-2, 12});
    EXPECT_EQ(Range(f.left), std::pair(-2.0, 12.0));
}

TEST(CtrlTest, ResizeGivesTheNextRefreshAnImageOfTheNewSize) {
    CChartCtrl chart;
    chart.resize(300, 200);
    chart.RefreshCtrl();
    ASSERT_NE(chart.GetBackgroundImage(), nullptr);
    EXPECT_EQ(chart.GetBackgroundImage()->size(), QSize(300, 200));
    chart.resize(420, 160);
    chart.RefreshCtrl();
    EXPECT_EQ(chart.GetBackgroundImage()->size(), QSize(420, 160));
}

TEST(CtrlTest, ScrollPositionTable) {
    struct Case {
        int code, p, lo, hi, thumb, want;
    };
    const std::vector<Case> cases = {
        {0, 5, 0, 30, 0, 4},   {0, 0, 0, 30, 0, 0},    // line up, stops at the minimum
        {1, 5, 0, 30, 0, 6},   {1, 21, 0, 30, 0, 21},  // line down, stops a page before hi
        {2, 15, 0, 30, 0, 5},  {2, 4, 0, 30, 0, 0},    // page up, clamped at lo
        {2, 0, 0, 30, 0, 0},                           // page up at the top
        {3, 5, 0, 30, 0, 15},  {3, 20, 0, 30, 0, 30},  // page down, clamped at hi
        {3, 21, 0, 30, 0, 21},                         // page down at the end
        {4, 5, 0, 30, 17, 17}, {5, 5, 0, 30, 9, 9},    // thumb
        {6, 12, 0, 30, 0, 0},  {7, 12, 0, 30, 0, 30},  // top, bottom
        {8, 12, 0, 30, 3, 12},                         // end scroll
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CChartCtrl::ScrollPosition(c.code, c.p, c.lo, c.hi, c.thumb), c.want)
            << "code " << c.code << " at " << c.p;
    }
}

TEST(CtrlTest, LeftDragZoomsEveryAxisToTheDraggedValues) {
    ShownChart f;
    const ChartRect plot = f.chart.GetPlottingRect();
    const QPoint from(plot.left + 20, plot.top + 10);
    const QPoint to(plot.left + 120, plot.top + 90);
    const double wantXMin = f.bottom->ScreenToValue(from.x());
    const double wantXMax = f.bottom->ScreenToValue(to.x());
    const double wantYMin = f.left->ScreenToValue(to.y());
    const double wantYMax = f.left->ScreenToValue(from.y());

    Drag(f.chart, Qt::LeftButton, from, to);
    EXPECT_DOUBLE_EQ(f.bottom->GetMin(), wantXMin);
    EXPECT_DOUBLE_EQ(f.bottom->GetMax(), wantXMax);
    EXPECT_DOUBLE_EQ(f.left->GetMin(), wantYMin);
    EXPECT_DOUBLE_EQ(f.left->GetMax(), wantYMax);
    EXPECT_LT(wantXMin, wantXMax);
    EXPECT_LT(wantYMin, wantYMax);

    // Up and to the left: every axis gets its saved range back.
    Drag(f.chart, Qt::LeftButton, QPoint(plot.right - 5, plot.bottom - 5),
         QPoint(plot.left + 5, plot.top + 5));
    EXPECT_EQ(Range(f.bottom), std::pair(0.0, 100.0));
    EXPECT_EQ(Range(f.left), std::pair(0.0, 100.0));
}

TEST(CtrlTest, StraightOrEmptyDragsChangeNothing) {
    ShownChart f;
    const ChartRect plot = f.chart.GetPlottingRect();
    const QPoint a(plot.left + 30, plot.top + 30);
    const std::vector<QPoint> ends = {a, a + QPoint(80, 0), a + QPoint(0, 80)};
    for (const QPoint& end : ends) {
        Drag(f.chart, Qt::LeftButton, a, end);
        EXPECT_EQ(Range(f.bottom), std::pair(0.0, 100.0));
        EXPECT_EQ(Range(f.left), std::pair(0.0, 100.0));
    }
}

TEST(CtrlTest, ZoomNarrowerThanTheLimitGetsTheLimit) {
    ShownChart f;
    f.bottom->SetMinMax(0, 0.05);
    f.chart.RefreshCtrl();
    const ChartRect plot = f.chart.GetPlottingRect();
    const QPoint from(plot.left + 10, plot.top + 10);
    const double wantMin = f.bottom->ScreenToValue(from.x());
    Drag(f.chart, Qt::LeftButton, from, from + QPoint(2, 40));
    EXPECT_DOUBLE_EQ(f.bottom->GetMin(), wantMin);
    EXPECT_DOUBLE_EQ(f.bottom->GetMax(), wantMin + 0.001);
}

TEST(CtrlTest, ZoomedAutomaticAxisFollowsTheNextSerie) {
    ShownChart f;
    f.left->SetAutomatic(true);
    f.Line({0, 50, 100}, {3, 7, 4}, qtmchart::kNoOrdering);
    ASSERT_EQ(f.left->GetMax(), 7.0);
    const ChartRect plot = f.chart.GetPlottingRect();
    Drag(f.chart, Qt::LeftButton, QPoint(plot.left + 10, plot.top + 10),
         QPoint(plot.left + 100, plot.top + 100));
    ASSERT_NE(f.left->GetMax(), 7.0);
    const double zoomedXMax = f.bottom->GetMax();

    f.chart.EnableRefresh(false);
    f.chart.RemoveAllSeries();
    f.Line({0, 50, 100}, {3, 7, 4}, qtmchart::kNoOrdering);
    f.chart.EnableRefresh(true);
    EXPECT_EQ(Range(f.left), std::pair(3.0, 7.0));
    // The fixed axis keeps its zoom until an un-zoom drag.
    EXPECT_EQ(f.bottom->GetMax(), zoomedXMax);
}

TEST(CtrlTest, RightDragPansTheAxesWithTheMouse) {
    ShownChart f;
    const ChartRect plot = f.chart.GetPlottingRect();
    const QPoint from(plot.left + 100, plot.top + 100);
    const QPoint to = from + QPoint(40, 30);
    const double dx = f.bottom->ScreenToValue(to.x()) - f.bottom->ScreenToValue(from.x());
    const double dy = f.left->ScreenToValue(to.y()) - f.left->ScreenToValue(from.y());
    Drag(f.chart, Qt::RightButton, from, to);
    // Content follows the mouse: dragging right shows smaller x values.
    EXPECT_NEAR(f.bottom->GetMin(), -dx, 1e-9);
    EXPECT_NEAR(f.bottom->GetMax(), 100 - dx, 1e-9);
    EXPECT_NEAR(f.left->GetMin(), -dy, 1e-9);
    EXPECT_NEAR(f.left->GetMax(), 100 - dy, 1e-9);
    EXPECT_GT(dx, 0.0);
    EXPECT_LT(dy, 0.0);
}

TEST(CtrlTest, ZoomOutlineIsPaintedOnlyDuringTheDrag) {
    ShownChart f;
    f.chart.SetZoomRectColor(0x00FF00);
    const ChartRect plot = f.chart.GetPlottingRect();
    const QPoint from(plot.left + 30, plot.top + 30);
    const QPoint to(plot.left + 130, plot.top + 90);
    auto outlinePixels = [&](const QImage& image) {
        int n = 0;
        for (int x = from.x(); x <= to.x(); ++x) {
            n += image.pixelColor(x, from.y()) == QColor(0, 255, 0);
            n += image.pixelColor(x, to.y()) == QColor(0, 255, 0);
        }
        return n;
    };
    QTest::mousePress(&f.chart, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&f.chart, to);
    EXPECT_GE(outlinePixels(f.chart.grab().toImage()), 2 * 100);
    // The outline lives only on screen, never in the chart's own image.
    EXPECT_EQ(outlinePixels(*f.chart.GetBackgroundImage()), 0);
    QTest::mouseRelease(&f.chart, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(outlinePixels(f.chart.grab().toImage()), 0);
}

TEST(CtrlTest, AttachedSerieDrawsIntoTheChartThatOwnsIt) {
    CChartCtrl other;
    ShownChart f;
    auto* serie = new CChartLineSerie(&other);  // built for another chart
    f.chart.AttachCustomSerie(serie);
    EXPECT_EQ(serie->GetParent(), &f.chart);
}
