// A long line serie drawn with its polyline reduced to a few points per pixel column gives
// exactly the image of the full polyline, whatever the data look like.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <QPainter>

#include "TestChart.h"
#include "chart/ChartPolyline.h"
#include "chart/ChartTitle.h"

namespace {

struct Shape {
    std::string name;
    std::function<double(int i, std::mt19937& random)> y;
};

double Uniform(std::mt19937& random, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Readings of a live run and an import: values around 0..1000, some far out of range.
std::vector<Shape> Shapes() {
    const double pi = 3.14159265358979323846;
    return {
        {"noise", [](int, std::mt19937& r) { return Uniform(r, 0, 1000); }},
        {"slow sine and fast ripple",
         [pi](int i, std::mt19937&) {
             return 520 + 180 * std::sin(2 * pi * i / 5000.0) + 45 * std::sin(2 * pi * i / 23.0);
         }},
        {"flat with spikes beyond both ends",
         [](int i, std::mt19937& r) {
             if (i % 97 == 13) return Uniform(r, 2000, 1e6);
             if (i % 131 == 7) return -Uniform(r, 10, 1e9);
             return 400.0 + (i % 3);
         }},
        {"NaN and infinite readings",
         [](int i, std::mt19937& r) {
             if (i % 53 == 0) return kNaN;
             if (i % 211 == 0) return i % 2 ? kInf : -kInf;
             return Uniform(r, 300, 700);
         }},
        {"steps",
         [](int i, std::mt19937& r) {
             static double level = 500;
             if (i == 0) level = 500;
             if (Uniform(r, 0, 1) < 0.01) level = Uniform(r, 0, 1000);
             return level;
         }},
        {"small noise on a ramp",
         [](int i, std::mt19937& r) { return i * 0.13 + Uniform(r, -3, 3); }},
    };
}

struct View {
    std::string name;
    int width;
    int height;
    int ordering;
    bool backwardsX;    // x runs back and forth (unordered serie)
    double xMin, xMax;  // bottom axis range
    bool autoY;         // left axis follows the data, else yMin..yMax
    double yMin, yMax;
};

std::vector<View> Views(int n) {
    return {
        {"the live chart", 800, 400, qtmchart::kNoOrdering, false, 0, double(n), true, 0, 0},
        {"narrow chart", 237, 181, qtmchart::kNoOrdering, false, 0, double(n), false, 0, 1000},
        {"zoomed in on both axes", 800, 400, qtmchart::kXOrdering, false, n * 0.4, n * 0.47, false,
         380, 620},
        {"zoomed out", 640, 300, qtmchart::kNoOrdering, false, -n * 3.0, n * 2.0, false, -500,
         1500},
        {"unordered, back and forth", 500, 260, qtmchart::kNoOrdering, true, 0, n / 4.0, false, 0,
         1000},
    };
}

QImage Render(const View& view, const std::vector<double>& x, const std::vector<double>& y,
              bool reduce) {
    CChartCtrl chart;
    chart.resize(view.width, view.height);
    chart.EnableRefresh(false);
    chart.SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart.GetTitle()->AddString("Lux Wave");
    CChartStandardAxis* bottom = chart.CreateStandardAxis(CChartCtrl::BottomAxis);
    bottom->SetMinMax(view.xMin, view.xMax);
    CChartStandardAxis* left = chart.CreateStandardAxis(CChartCtrl::LeftAxis);
    left->SetMinMax(view.yMin, view.yMax);
    if (view.autoY) left->SetAutomatic(true);
    CChartLineSerie* serie = chart.CreateLineSerie();
    serie->SetPolylineReduction(reduce);
    serie->SetSeriesOrdering(view.ordering);
    serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
    chart.EnableRefresh(true);
    chart.RefreshCtrl();
    return *chart.GetBackgroundImage();
}

std::string FirstDifference(const QImage& a, const QImage& b) {
    for (int py = 0; py < a.height(); ++py) {
        for (int px = 0; px < a.width(); ++px) {
            if (a.pixel(px, py) != b.pixel(px, py)) {
                return "first at " + std::to_string(px) + "," + std::to_string(py);
            }
        }
    }
    return "none";
}

// The polyline as the chart draws a serie: one-pixel solid pen, clipped to a rectangle inside
// the image.
QImage DrawPolyline(const std::vector<QPoint>& pixels) {
    QImage image(200, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setClipRect(QRect(20, 15, 160, 90));
    QPen pen(Qt::red);
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawPolyline(pixels.data(), static_cast<int>(pixels.size()));
    return image;
}

// A random row: mostly inside the clip, some in the image beyond it, some just beyond the
// image's edges and some as far off as a NaN or infinite reading lands.
int RandomRow(std::mt19937& random, bool offImage) {
    const int pick = static_cast<int>(random() % 20);
    if (offImage) {
        switch (pick) {
            case 0:
                return -(1 << 30);
            case 1:
                return 60 - (1 << 28);
            case 2:
                return 60 + (1 << 28);
            case 3:
                return -5 - static_cast<int>(random() % 50);
            case 4:
                return 121 + static_cast<int>(random() % 50);
            case 5:
                return -3 + static_cast<int>(random() % 7);
            case 6:
                return 117 + static_cast<int>(random() % 7);
            default:
                break;
        }
    }
    return pick < 8 ? static_cast<int>(random() % 120) : 10 + static_cast<int>(random() % 100);
}

}  // namespace

TEST(ReducedLineRenderTest, RandomColumnRunsInAndBeyondTheImageDrawTheSamePixels) {
    const QRect image(0, 0, 200, 120);
    std::mt19937 random(2024);
    int reduced = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        const bool offImage = random() % 4 != 0;
        std::vector<QPoint> pixels;
        int x = 10 + static_cast<int>(random() % 30);
        for (int column = 0; column < 5; ++column) {
            const int n = 1 + static_cast<int>(random() % 16);
            for (int k = 0; k < n; ++k)
                pixels.emplace_back(x, RandomRow(random, offImage));
            x += random() % 5 == 0 ? 2 + static_cast<int>(random() % 3) : 1;
            if (random() % 30 == 0) x = random() % 2 ? -(1 << 28) : 250;  // far off sideways
            if (random() % 30 == 0) x = random() % 2 ? -1 : 199;          // on the edge
        }
        const std::vector<QPoint> fewer = qtmchart::ReducedPolylineColumns(pixels, image);
        if (fewer.size() < pixels.size()) ++reduced;
        ASSERT_TRUE(DrawPolyline(pixels) == DrawPolyline(fewer)) << "trial " << trial;
    }
    EXPECT_GT(reduced, 3000);
}

TEST(ReducedLineRenderTest, ReducedPolylineDrawsTheSamePixelsAsTheFullOne) {
    const int n = 7500;
    int compared = 0;
    for (const Shape& shape : Shapes()) {
        for (const View& view : Views(n)) {
            for (unsigned seed : {1u, 2u, 3u}) {
                std::mt19937 random(seed);
                std::vector<double> x(n);
                std::vector<double> y(n);
                for (int i = 0; i < n; ++i) {
                    x[i] = view.backwardsX ? (i / 7) % 1875 + (i % 7) * 0.3 : i;
                    y[i] = shape.y(i, random);
                }
                const QImage full = Render(view, x, y, false);
                const QImage reduced = Render(view, x, y, true);
                ASSERT_EQ(full.size(), reduced.size());
                EXPECT_TRUE(full == reduced) << shape.name << ", " << view.name << ", seed " << seed
                                             << ": " << FirstDifference(full, reduced);
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 6 * 5 * 3);
}
