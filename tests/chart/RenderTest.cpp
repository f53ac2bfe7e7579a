// What the chart puts into its off-screen image: background gradients, the edge and the plot
// frame, a line serie's pixels, and nothing of a serie outside the plotting rectangle.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <vector>

#include "TestChart.h"
#include "chart/ChartColor.h"
#include "chart/ChartTitle.h"

using qtmchart::ChartRect;
using qtmchart::ColorRef;

namespace {

ColorRef PixelAt(const QImage& image, int x, int y) {
    return qtmchart::FromQColor(image.pixelColor(x, y));
}

bool Near(ColorRef a, ColorRef b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

// The background alone, without an edge, drawn into an image of its own.
QImage Background(ColorRef c1, ColorRef c2, int type) {
    CChartCtrl chart;
    chart.EnableRefresh(false);
    chart.SetEdgeType(0);
    chart.SetBackGradient(c1, c2, type);
    QImage image(120, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    chart.DrawBackground(&painter, ChartRect{0, 0, 120, 80});
    return image;
}

int CountSerie(const QImage& image, const ChartRect& r, ColorRef colour) {
    return CountPixels(image, r,
                       [colour](QRgb p) { return qtmchart::FromQColor(QColor(p)) == colour; });
}

}  // namespace

TEST(RenderTest, GradientTypesPutTheirColoursAtTheEdgesAndMiddle) {
    const ColorRef white = 0xFFFFFF;
    const ColorRef lightBlue = 0xFF7D7D;
    struct Case {
        int type;
        QPoint start, middle, end;
    };
    const std::vector<Case> cases = {
        {0, {0, 40}, {60, 40}, {119, 40}},  // left to right
        {1, {60, 0}, {60, 40}, {60, 79}},   // top to bottom
        {2, {0, 40}, {60, 40}, {119, 40}},  // left half there, right half back
        {3, {60, 0}, {60, 40}, {60, 79}},   // top half there, bottom half back
    };
    for (const Case& c : cases) {
        const QImage image = Background(white, lightBlue, c.type);
        const bool doubled = c.type >= 2;
        EXPECT_EQ(PixelAt(image, c.start.x(), c.start.y()), white) << "type " << c.type;
        EXPECT_TRUE(
            Near(PixelAt(image, c.middle.x(), c.middle.y()), doubled ? lightBlue : 0xFFBEBE, 4))
            << "type " << c.type;
        EXPECT_EQ(PixelAt(image, c.end.x(), c.end.y()), doubled ? white : lightBlue)
            << "type " << c.type;
    }
}

TEST(RenderTest, EmptyChartDrawsTheFrameRoundTheWholeDrawingArea) {
    CChartCtrl chart;
    chart.resize(200, 120);
    chart.SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart.RefreshCtrl();
    const QImage& image = *chart.GetBackgroundImage();
    EXPECT_EQ(chart.GetPlottingRect(), (ChartRect{3, 3, 197, 117}));
    for (QPoint p : {QPoint(3, 60), QPoint(197, 60), QPoint(100, 3), QPoint(100, 117)}) {
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), 0u) << p.x() << "," << p.y();
    }
    EXPECT_EQ(PixelAt(image, 100, 1), 0xFFFFFFu);    // raised edge: inner highlight on top
    EXPECT_EQ(PixelAt(image, 100, 119), 0x696969u);  // and the outer dark shadow below
    EXPECT_TRUE(Near(PixelAt(image, 100, 5), 0xFFFFFF, 6));
    EXPECT_TRUE(Near(PixelAt(image, 100, 115), 0xFF7D7D, 6));
}

TEST(RenderTest, LineSeriePaintsItsColourAlongItsPointsAndAddedOnesAtOnce) {
    TestChart f;
    CChartLineSerie* serie = f.Line({0, 6}, {5, 5});
    serie->SetColor(0x00C000);
    f.chart.RefreshCtrl();
    const double x = 10;
    const double y = 5;
    serie->AddPoints(&x, &y, 1);  // drawn straight into the image, without a refresh

    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect plot = f.chart.GetPlottingRect();
    const int row = f.left->ValueToScreen(5);
    ASSERT_GT(row, plot.top);
    ASSERT_LT(row, plot.bottom);
    for (int px = plot.left + 1; px < plot.right; ++px) {
        ASSERT_EQ(PixelAt(image, px, row), 0x00C000u) << "x " << px;
    }
    EXPECT_NE(PixelAt(image, (plot.left + plot.right) / 2, row - 2), 0x00C000u);
}

TEST(RenderTest, SeriePixelsStayInsideThePlottingRectangle) {
    TestChart f;
    f.chart.GetTitle()->AddString("Lux Wave");
    // A zig-zag far beyond both axes, so clipping has to do the work.
    CChartLineSerie* serie = f.Line({-20, -5, 2, 5, 8, 15, 30}, {-50, 40, -30, 5, 60, -40, 90});
    serie->SetColor(0x12E034);
    serie->SetWidth(3);
    f.chart.RefreshCtrl();

    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect plot = f.chart.GetPlottingRect();
    const ChartRect interior{plot.left + 1, plot.top + 1, plot.right, plot.bottom};
    const int inside = CountSerie(image, interior, 0x12E034);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(CountSerie(image, ChartRect{0, 0, 400, 300}, 0x12E034), inside);
}

TEST(RenderTest, SinglePointDrawsNothingAndTwoPointsDrawOneSegment) {
    const std::vector<double> points = {2, 8};
    for (std::size_t n : {1u, 2u}) {
        TestChart f;
        const std::vector<double> v(points.begin(), points.begin() + n);
        f.Line(v, v)->SetColor(0x3377EE);
        f.chart.RefreshCtrl();
        const int painted =
            CountSerie(*f.chart.GetBackgroundImage(), ChartRect{0, 0, 400, 300}, 0x3377EE);
        if (n == 1) {
            EXPECT_EQ(painted, 0);
        } else {
            EXPECT_GT(painted, 50);
        }
    }
}

TEST(RenderTest, UnorderedPointsAreJoinedInTheOrderGiven) {
    TestChart f;
    // Out along y = 2 and back up to (1, 8). Sorted by X the same points would run up x = 1
    // first and never along y = 2.
    f.Line({1, 8, 1}, {2, 2, 8}, qtmchart::kNoOrdering)->SetColor(0x0000C0);
    f.chart.RefreshCtrl();
    const QImage& image = *f.chart.GetBackgroundImage();
    const int px = f.bottom->ValueToScreen(5);
    EXPECT_EQ(PixelAt(image, px, f.left->ValueToScreen(2)), 0x0000C0u);
    bool onReturnLeg = false;
    const int returnRow = f.left->ValueToScreen(2 + 6 * 3 / 7.0);
    for (int dy = -2; dy <= 2; ++dy) {
        onReturnLeg |= PixelAt(image, px, returnRow + dy) == 0x0000C0u;
    }
    EXPECT_TRUE(onReturnLeg);
}
