// The layer behind the series is kept while only the series change and drawn again when
// anything it shows changes; either way the chart's image is the one a full drawing gives.
#include <gtest/gtest.h>

#include <QPainter>
#include <functional>
#include <string>
#include <vector>

#include "TestChart.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartGrid.h"
#include "chart/ChartTitle.h"

namespace {

// Everything drawn again into an image of its own, without the kept layer.
QImage FullDrawing(CChartCtrl& chart) {
    const QImage* screen = chart.GetBackgroundImage();
    QImage image(screen->size(), screen->format());
    QPainter painter(&image);
    chart.RenderTo(&painter);
    return image;
}

void ReplaceSerie(TestChart& t, const std::vector<double>& y) {
    std::vector<double> x(y.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<double>(i);
    t.chart.EnableRefresh(false);
    t.chart.RemoveAllSeries();
    t.Line(x, y, qtmchart::kNoOrdering);
    t.chart.EnableRefresh(true);
}

struct Change {
    std::string what;
    std::function<void(TestChart&)> apply;
    bool layerDrawnAgain;
};

TEST(LayerCacheTest, ImageAfterEachChangeIsTheFullDrawing) {
    const std::vector<Change> changes = {
        {"a new serie within the same automatic range",
         [](TestChart& t) {
             ReplaceSerie(t, {0, 8, 2, 6, 4, 8, 0});
         },
         false},
        {"a new serie that moves the automatic range",
         [](TestChart& t) {
             ReplaceSerie(t, {0, 3, 1, 12, 4});
         },
         true},
        {"the bottom axis's range", [](TestChart& t) { t.bottom->SetMinMax(2, 5); }, true},
        {"a zoom",
         [](TestChart& t) {
             t.bottom->SetZoomMinMax(1, 3);
             t.chart.RefreshCtrl();
         },
         true},
        {"the axis caption", [](TestChart& t) { t.left->GetLabel()->SetText("y(P)"); }, true},
        {"a caption font through its reference",
         [](TestChart& t) {
             t.left->GetLabel()->GetFont().SetFont("DejaVu Sans", 140);
             t.chart.RefreshCtrl();
         },
         true},
        {"the title", [](TestChart& t) { t.chart.GetTitle()->AddString("Lux Wave"); }, true},
        {"the grid colour", [](TestChart& t) { t.left->GetGrid()->SetColor(0x00FF00); }, true},
        {"the background", [](TestChart& t) { t.chart.SetBackColor(0xFFFFFF); }, true},
        {"nothing", [](TestChart& t) { t.chart.RefreshCtrl(); }, false},
    };
    TestChart t(6, 10);
    t.left->SetAutomatic(true);
    ReplaceSerie(t, {0, 8, 1, 7, 2});
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        const int draws = t.chart.GetLayerDrawCount();
        change.apply(t);
        EXPECT_EQ(t.chart.GetLayerDrawCount() > draws, change.layerDrawnAgain);
        const QImage screen = *t.chart.GetBackgroundImage();
        EXPECT_TRUE(screen == FullDrawing(t.chart));
    }
}

}  // namespace
