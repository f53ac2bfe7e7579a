// On a screen of two device pixels per widget pixel the chart is drawn at that resolution:
// twice the pixels each way, a one-pixel line two sharp device pixels wide (no blur), and
// texts and slanted lines with steps finer than a widget pixel (not an enlarged 1x image).
#include <gtest/gtest.h>

#include <QImage>

#include "TestChart.h"
#include "chart/ChartTitle.h"

namespace {

// A chart whose screen has two device pixels per widget pixel.
class HiDpiChart : public CChartCtrl {
protected:
    int metric(PaintDeviceMetric m) const override {
        if (m == PdmDevicePixelRatio) return 2;
        if (m == PdmDevicePixelRatioScaled) return static_cast<int>(2 * devicePixelRatioFScale());
        return CChartCtrl::metric(m);
    }
};

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGrid = 0xFF808080;
constexpr QRgb kRed = 0xFFFF0000;

// 2 x 2 device-pixel blocks of the area (in widget pixels) not all of one colour.
int MixedBlocks(const QImage& image, const qtmchart::ChartRect& area) {
    int mixed = 0;
    for (int y = 2 * area.top; y + 1 < 2 * area.bottom; y += 2) {
        for (int x = 2 * area.left; x + 1 < 2 * area.right; x += 2) {
            const QRgb p = image.pixel(x, y);
            if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p ||
                image.pixel(x + 1, y + 1) != p)
                ++mixed;
        }
    }
    return mixed;
}

TEST(HiDpiRenderTest, LinesAndTextsAreDrawnAtDeviceResolution) {
    HiDpiChart chart;
    chart.resize(300, 200);
    chart.EnableRefresh(false);
    chart.SetBackColor(0xFFFFFF);
    chart.GetTitle()->AddString("Lux Wave");
    chart.CreateStandardAxis(CChartCtrl::BottomAxis)->SetMinMax(0, 10);
    chart.CreateStandardAxis(CChartCtrl::LeftAxis)->SetMinMax(0, 10);
    const double ends[2] = {0, 10};
    const double flat[2] = {5, 5};
    const double slant[2] = {1, 3};
    chart.CreateLineSerie()->AddPoints(ends, flat, 2);
    chart.CreateLineSerie()->AddPoints(ends, slant, 2);
    chart.EnableRefresh(true);

    const QImage* image = chart.GetBackgroundImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), QSize(600, 400));
    EXPECT_EQ(image->devicePixelRatio(), 2.0);

    // The flat line: in every device column across the plotting area, two device pixels of
    // the serie's colour on top of each other, between pixels of the background or the grid
    // (nothing smeared).
    const qtmchart::ChartRect plot = chart.GetPlottingRect();
    const int row = chart.GetLeftAxis()->ValueToScreen(5);
    const auto unlit = [](QRgb p) { return p == kWhite || p == kGrid; };
    int sharp = 0;
    for (int x = 2 * (plot.left + 2); x < 2 * (plot.right - 2); ++x) {
        if (unlit(image->pixel(x, 2 * row - 1)) && image->pixel(x, 2 * row) == kRed &&
            image->pixel(x, 2 * row + 1) == kRed && unlit(image->pixel(x, 2 * row + 2)))
            ++sharp;
    }
    EXPECT_EQ(sharp, 2 * (plot.Width() - 4));

    // The slanted line (green, the second serie) and the title have steps of one device
    // pixel: an enlarged 1x image would be made of uniform 2 x 2 blocks only.
    const int slantTop = chart.GetLeftAxis()->ValueToScreen(3);
    const int slantBottom = chart.GetLeftAxis()->ValueToScreen(1);
    EXPECT_GT(MixedBlocks(*image, {plot.left + 2, slantTop, plot.right - 2, slantBottom + 1}), 20);
    EXPECT_GT(MixedBlocks(*image, {0, 0, chart.width(), plot.top - 2}), 20);
}

}  // namespace
