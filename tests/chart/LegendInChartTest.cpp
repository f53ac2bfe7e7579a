// The legend inside a chart: no room while invisible or without named series, placement on
// each docking side, and its box, shadow and samples.
#include <gtest/gtest.h>

#include "TestChart.h"
#include "chart/ChartLegend.h"

using qtmchart::ChartRect;

namespace {

CChartLineSerie* AddNamedLine(TestChart& f, const QString& name) {
    CChartLineSerie* serie = f.Line({0, 5, 10}, {1, 9, 2}, qtmchart::kNoOrdering);
    serie->SetName(name);
    return serie;
}

}  // namespace

TEST(LegendInChartTest, TakesNoRoomWhileInvisibleOrWithoutNamedSeries) {
    TestChart f;
    AddNamedLine(f, "power");
    f.chart.GetLegend()->DockLegend(CChartLegend::dsDockBottom);
    const ChartRect bare = f.chart.GetPlottingRect();
    EXPECT_TRUE(f.chart.GetLegend()->GetLegendRect().IsEmpty());  // invisible by default

    f.chart.RemoveAllSeries();
    AddNamedLine(f, "");
    f.chart.GetLegend()->SetVisible(true);
    EXPECT_TRUE(f.chart.GetLegend()->GetLegendRect().IsEmpty());
    EXPECT_EQ(f.chart.GetPlottingRect(), bare);
}

TEST(LegendInChartTest, DockedOnEachSideTheChartMovesOffIt) {
    TestChart f;
    AddNamedLine(f, "power");
    AddNamedLine(f, "energy");
    CChartLegend* legend = f.chart.GetLegend();
    legend->SetVisible(true);
    const ChartRect drawing{3, 3, 397, 297};

    legend->DockLegend(CChartLegend::dsDockBottom);
    ChartRect box = legend->GetLegendRect();
    EXPECT_EQ(box.bottom, drawing.bottom - 2);
    EXPECT_NEAR((box.left + box.right) / 2.0, 200, 1);
    EXPECT_EQ(f.chart.GetPlottingRect().bottom, box.top - 2 - f.bottom->GetMarginSize());

    legend->DockLegend(CChartLegend::dsDockTop);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.top, drawing.top + 3);
    EXPECT_GT(f.chart.GetPlottingRect().top, box.bottom + 2);

    legend->DockLegend(CChartLegend::dsDockRight);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.right, drawing.right - 6);
    EXPECT_LE(f.chart.GetPlottingRect().right, box.left - 2);

    legend->DockLegend(CChartLegend::dsDockLeft);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.left, drawing.left + 3);
    EXPECT_EQ(f.chart.GetPlottingRect().left, box.right + 2 + f.left->GetMarginSize());

    // Horizontal mode lays the entries side by side: wider and lower than stacked.
    const ChartRect stacked = legend->GetLegendRect();
    legend->SetHorizontalMode(true);
    const ChartRect across = legend->GetLegendRect();
    EXPECT_GT(across.Width(), stacked.Width());
    EXPECT_LT(across.Height(), stacked.Height());
}

TEST(LegendInChartTest, FreeLegendKeepsItsCornerAndTheChartItsRoom) {
    TestChart f;
    AddNamedLine(f, "power");
    const ChartRect bare = f.chart.GetPlottingRect();
    f.chart.GetLegend()->SetVisible(true);
    f.chart.GetLegend()->UndockLegend(120, 60);
    const ChartRect box = f.chart.GetLegend()->GetLegendRect();
    EXPECT_EQ(box.left, 120);
    EXPECT_EQ(box.top, 60);
    EXPECT_EQ(f.chart.GetPlottingRect(), bare);
}

TEST(LegendInChartTest, DrawsBoxShadowAndSample) {
    TestChart f;
    AddNamedLine(f, "power");  // the first serie is red
    CChartLegend* legend = f.chart.GetLegend();
    legend->SetVisible(true);
    legend->UndockLegend(150, 40);
    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect box = legend->GetLegendRect();

    EXPECT_EQ(image.pixel(box.left, box.top + 5) & 0xFFFFFF, 0u);       // border
    EXPECT_EQ(image.pixel(box.right, box.top + 5) & 0xFFFFFF, 0u);      // border, right edge
    EXPECT_EQ(image.pixel(box.right + 2, box.top + 8) & 0xFFFFFF, 0u);  // shadow
    EXPECT_EQ(image.pixel(box.left + 1, box.bottom - 1), qRgb(255, 255, 255));  // background
    // The sample line runs across the middle of the first sample box.
    const int sampleY = (box.top + 5 + box.top + 5 + 16) / 2;
    EXPECT_EQ(image.pixel(box.left + 10, sampleY), qRgb(255, 0, 0));

    legend->SetShadow(false);
    EXPECT_NE(image.pixel(box.right + 2, box.top + 8) & 0xFFFFFF, 0u);
}
