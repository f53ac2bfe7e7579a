// The chart's pictures for files: a PNG of twice the chart's size and an SVG document, both
// read back by Qt and showing the serie where its line is.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QSvgRenderer>

#include "TestChart.h"
#include "chart/ChartPicture.h"

namespace {

// The serie's red, or red mixed into the background by a smoothing renderer.
bool IsRed(QRgb p) {
    return qRed(p) > 180 && qRed(p) - qGreen(p) > 70 && qRed(p) - qBlue(p) > 70;
}

// Red pixels in the column x (widget pixels, scaled by ratio) within two widget pixels of
// the row of value y on the left axis.
int RedNear(const QImage& image, TestChart& t, double xValue, double yValue, int ratio) {
    const int x = t.bottom->ValueToScreen(xValue) * ratio;
    const int y = t.left->ValueToScreen(yValue) * ratio;
    int red = 0;
    for (int dy = -2 * ratio; dy <= 2 * ratio; ++dy)
        red += IsRed(image.pixel(x, y + dy)) ? 1 : 0;
    return red;
}

struct ChartWithLine : TestChart {
    ChartWithLine() : TestChart(10, 10) { Line({0, 10}, {2, 8}); }
};

TEST(ChartPictureTest, PngHasTwiceThePixelsAndTheSerie) {
    ChartWithLine t;
    const QImage picture = qtmchart::ChartImage(t.chart, 2);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    QImage read;
    ASSERT_TRUE(read.loadFromData(bytes, "PNG"));
    EXPECT_EQ(read.size(), 2 * t.chart.size());
    for (double x : {2.0, 5.0, 8.0})
        EXPECT_GE(RedNear(read, t, x, 2 + 0.6 * x, 2), 2) << "at x = " << x;
    EXPECT_EQ(RedNear(read, t, 5.0, 9.0, 2), 0);  // nowhere else
}

TEST(ChartPictureTest, SvgReadsBackAndShowsTheSerie) {
    ChartWithLine t;
    const QByteArray svg = qtmchart::ChartSvg(t.chart, "live chart");
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    QImage image(t.chart.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    for (double x : {2.0, 5.0, 8.0})
        EXPECT_GE(RedNear(image, t, x, 2 + 0.6 * x, 1), 1) << "at x = " << x;
    EXPECT_EQ(RedNear(image, t, 5.0, 9.0, 1), 0);
}

}  // namespace
