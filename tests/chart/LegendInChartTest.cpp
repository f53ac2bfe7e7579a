// The legend inside a chart: no room while invisible or without named series, placement on
// each docking side, and its box, shadow and samples.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <vector>

#include "chart/ChartCtrl.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"

using qtmchart::ChartRect;

namespace {

std::unique_ptr<CChartCtrl> ChartWithAxes() {
    auto chart = std::make_unique<CChartCtrl>();
    chart->resize(400, 300);
    chart->EnableRefresh(false);
    chart->SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart->CreateStandardAxis(CChartCtrl::BottomAxis)->SetMinMax(0, 10);
    chart->CreateStandardAxis(CChartCtrl::LeftAxis)->SetMinMax(0, 10);
    chart->EnableRefresh(true);
    return chart;
}

CChartLineSerie* AddLine(CChartCtrl& chart, const QString& name) {
    const std::vector<double> x = {0, 5, 10};
    const std::vector<double> y = {1, 9, 2};
    auto* serie = new CChartLineSerie(&chart);
    chart.AttachCustomSerie(serie);
    serie->SetName(name);
    serie->SetSeriesOrdering(0);
    serie->AddPoints(x.data(), y.data(), 3);
    return serie;
}

}  // namespace

TEST(LegendInChartTest, TakesNoRoomWhileInvisibleOrWithoutNamedSeries) {
    auto chart = ChartWithAxes();
    AddLine(*chart, "power");
    chart->GetLegend()->DockLegend(CChartLegend::dsDockBottom);
    const ChartRect bare = chart->GetPlottingRect();
    EXPECT_TRUE(chart->GetLegend()->GetLegendRect().IsEmpty());  // invisible by default

    chart->RemoveAllSeries();
    AddLine(*chart, "");
    chart->GetLegend()->SetVisible(true);
    EXPECT_TRUE(chart->GetLegend()->GetLegendRect().IsEmpty());
    EXPECT_EQ(chart->GetPlottingRect(), bare);
}

TEST(LegendInChartTest, DockedOnEachSideTheChartMovesOffIt) {
    auto chart = ChartWithAxes();
    AddLine(*chart, "power");
    AddLine(*chart, "energy");
    CChartLegend* legend = chart->GetLegend();
    legend->SetVisible(true);
    const ChartRect drawing{3, 3, 397, 297};

    legend->DockLegend(CChartLegend::dsDockBottom);
    ChartRect box = legend->GetLegendRect();
    EXPECT_EQ(box.bottom, drawing.bottom - 2);
    EXPECT_NEAR((box.left + box.right) / 2.0, 200, 1);
    EXPECT_EQ(chart->GetPlottingRect().bottom,
              box.top - 2 - chart->GetAxis(CChartCtrl::BottomAxis)->GetMarginSize());

    legend->DockLegend(CChartLegend::dsDockTop);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.top, drawing.top + 3);
    EXPECT_GT(chart->GetPlottingRect().top, box.bottom + 2);

    legend->DockLegend(CChartLegend::dsDockRight);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.right, drawing.right - 6);
    EXPECT_LE(chart->GetPlottingRect().right, box.left - 2);

    legend->DockLegend(CChartLegend::dsDockLeft);
    box = legend->GetLegendRect();
    EXPECT_EQ(box.left, drawing.left + 3);
    EXPECT_EQ(chart->GetPlottingRect().left,
              box.right + 2 + chart->GetAxis(CChartCtrl::LeftAxis)->GetMarginSize());

    // Horizontal mode lays the entries side by side: wider and lower than stacked.
    const ChartRect stacked = legend->GetLegendRect();
    legend->SetHorizontalMode(true);
    const ChartRect across = legend->GetLegendRect();
    EXPECT_GT(across.Width(), stacked.Width());
    EXPECT_LT(across.Height(), stacked.Height());
}

TEST(LegendInChartTest, FreeLegendKeepsItsCornerAndTheChartItsRoom) {
    auto chart = ChartWithAxes();
    AddLine(*chart, "power");
    const ChartRect bare = chart->GetPlottingRect();
    chart->GetLegend()->SetVisible(true);
    chart->GetLegend()->UndockLegend(120, 60);
    const ChartRect box = chart->GetLegend()->GetLegendRect();
    EXPECT_EQ(box.left, 120);
    EXPECT_EQ(box.top, 60);
    EXPECT_EQ(chart->GetPlottingRect(), bare);
}

TEST(LegendInChartTest, DrawsBoxShadowAndSample) {
    auto chart = ChartWithAxes();
    AddLine(*chart, "power");  // the first serie is red
    CChartLegend* legend = chart->GetLegend();
    legend->SetVisible(true);
    legend->UndockLegend(150, 40);
    const QImage& image = *chart->GetBackgroundImage();
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
