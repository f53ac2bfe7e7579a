// Median time of one chart refresh at 800 x 400 pixels with 100 and 7500 points, done as the
// window does it for the live tick and the import (the serie replaced by a new one, the layer
// behind it kept), and with everything drawn again (background, title, axes, grid, serie);
// where Qt Charts is available, the same points rendered by Qt Charts at the same size.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"

#ifdef QTM_HAVE_QTCHARTS
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 400;

using Clock = std::chrono::steady_clock;

template <class Fn>
double MedianMs(int runs, Fn&& fn) {
    fn();  // warm caches, fonts and glyphs
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        fn();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

void MakeSignal(int n, std::vector<double>& x, std::vector<double>& y) {
    x.resize(n);
    y.resize(n);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < n; ++i) {
        x[i] = i;
        y[i] =
            520.0 + 180.0 * std::sin(2.0 * pi * i / n * 1.5) + 45.0 * std::sin(2.0 * pi * i / 23.0);
    }
}

struct OurTimes {
    double newSerie;  // the window's sequence: the serie replaced, one refresh
    double redrawn;   // one refresh with the layer behind the serie drawn again
};

OurTimes BenchOurChart(const std::vector<double>& x, const std::vector<double>& y, int runs) {
    CChartCtrl chart;
    chart.resize(kWidth, kHeight);
    chart.EnableRefresh(false);
    chart.SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart.GetLegend()->DockLegend(3);
    chart.GetLegend()->SetHorizontalMode(true);
    chart.GetTitle()->SetColor(0xFF0000);
    chart.GetTitle()->AddString("Lux Wave");
    CChartStandardAxis* bottom = chart.CreateStandardAxis(CChartCtrl::BottomAxis);
    bottom->SetMinMax(0, static_cast<double>(x.size()));
    bottom->GetLabel()->SetText("x(No.)");
    CChartStandardAxis* left = chart.CreateStandardAxis(CChartCtrl::LeftAxis);
    left->GetLabel()->SetText("y(P)");
    left->SetAutomatic(true);
    chart.EnableRefresh(true);
    const unsigned n = static_cast<unsigned>(x.size());
    OurTimes times{};
    times.newSerie = MedianMs(runs, [&] {
        chart.EnableRefresh(false);
        chart.RemoveAllSeries();
        auto* serie = new CChartLineSerie(&chart);
        chart.AttachCustomSerie(serie);
        serie->SetSeriesOrdering(0);
        serie->AddPoints(x.data(), y.data(), n);
        serie->SetWidth(1);
        chart.EnableRefresh(true);
    });
    times.redrawn = MedianMs(runs, [&] {
        chart.InvalidateLayer();
        chart.RefreshCtrl();
    });
    return times;
}

#ifdef QTM_HAVE_QTCHARTS
double BenchQtCharts(const std::vector<double>& x, const std::vector<double>& y, int runs) {
    auto* series = new QLineSeries();
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(x.size()));
    for (size_t i = 0; i < x.size(); ++i)
        points.append(QPointF(x[i], y[i]));
    series->replace(points);
    auto* chart = new QChart();
    chart->addSeries(series);
    chart->setTitle("Lux Wave");
    chart->legend()->hide();
    auto* axisX = new QValueAxis();
    axisX->setRange(0, static_cast<double>(x.size()));
    axisX->setTitleText("x(No.)");
    auto* axisY = new QValueAxis();
    const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
    axisY->setRange(*lo, *hi);
    axisY->setTitleText("y(P)");
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing, false);
    view.resize(kWidth, kHeight);
    view.show();
    QApplication::processEvents();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    return MedianMs(runs, [&] {
        QPainter painter(&image);
        view.render(&painter);
    });
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("chart refresh at %d x %d, median of repeated runs\n", kWidth, kHeight);
    for (int n : {100, 7500}) {
        std::vector<double> x;
        std::vector<double> y;
        MakeSignal(n, x, y);
        const int runs = 201;
        const OurTimes ours = BenchOurChart(x, y, runs);
        std::printf("CChartCtrl  %5d points: %8.3f ms  (a new serie, as the window draws it)\n", n,
                    ours.newSerie);
        std::printf("CChartCtrl  %5d points: %8.3f ms  (everything drawn again)\n", n,
                    ours.redrawn);
#ifdef QTM_HAVE_QTCHARTS
        const double theirs = BenchQtCharts(x, y, runs);
        std::printf("Qt Charts   %5d points: %8.3f ms  (%.1f x CChartCtrl, %.1f x redrawn)\n", n,
                    theirs, theirs / ours.newSerie, theirs / ours.redrawn);
#endif
    }
    return 0;
}
