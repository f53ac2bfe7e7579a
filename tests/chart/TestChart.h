// A hidden 400 x 300 chart with the window's background and standard bottom and left axes,
// plus pixel counting over an image, shared by the chart tests.
#pragma once

#include <QImage>
#include <utility>
#include <vector>

#include "chart/ChartCtrl.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartPoints.h"
#include "chart/ChartRect.h"
#include "chart/ChartStandardAxis.h"

struct TestChart {
    CChartCtrl chart;
    CChartStandardAxis* bottom = nullptr;
    CChartStandardAxis* left = nullptr;

    explicit TestChart(double xMax = 10, double yMax = 10) {
        chart.resize(400, 300);
        chart.EnableRefresh(false);
        chart.SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
        bottom = chart.CreateStandardAxis(CChartCtrl::BottomAxis);
        bottom->SetMinMax(0, xMax);
        left = chart.CreateStandardAxis(CChartCtrl::LeftAxis);
        left->SetMinMax(0, yMax);
        chart.EnableRefresh(true);
    }

    CChartLineSerie* Line(const std::vector<double>& x, const std::vector<double>& y,
                          int ordering = qtmchart::kXOrdering) {
        CChartLineSerie* serie = chart.CreateLineSerie();
        serie->SetSeriesOrdering(ordering);
        serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
        return serie;
    }
};

// What an axis shows, to compare both ends at once.
inline std::pair<double, double> Range(const CChartAxis* axis) {
    return {axis->GetMin(), axis->GetMax()};
}

// Pixels of the rectangle (right and bottom edges excluded) for which `test` holds.
template <typename Test>
int CountPixels(const QImage& image, const qtmchart::ChartRect& r, Test test) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (test(image.pixel(x, y))) ++n;
        }
    }
    return n;
}

inline int CountColour(const QImage& image, const qtmchart::ChartRect& r, QRgb colour) {
    return CountPixels(image, r,
                       [colour](QRgb p) { return (p & 0xFFFFFF) == (colour & 0xFFFFFF); });
}
