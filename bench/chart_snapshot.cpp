// Renders a chart set up like the main window's live chart into a PNG, to look at the
// chart without running the program:
//   chart_snapshot --points N --width W --height H --out FILE.png
#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLegend.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"

namespace {

struct Options {
    int points = 100;
    int width = 800;
    int height = 400;
    std::string out;
};

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) return false;
        bool ok = true;
        if (std::strcmp(arg, "--points") == 0) {
            ok = ParseInt(value, 2, 1000000, o.points);
        } else if (std::strcmp(arg, "--width") == 0) {
            ok = ParseInt(value, 16, 10000, o.width);
        } else if (std::strcmp(arg, "--height") == 0) {
            ok = ParseInt(value, 16, 10000, o.height);
        } else if (std::strcmp(arg, "--out") == 0) {
            o.out = value;
        } else {
            ok = false;
        }
        if (!ok) return false;
        ++i;
    }
    return !o.out.empty();
}

// A slow swell with a gentler ripple, scaled to the number of points so the curve looks the
// same at any length.
void MakeSignal(int n, std::vector<double>& x, std::vector<double>& y) {
    x.resize(n);
    y.resize(n);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        x[i] = i;
        y[i] = 520.0 + 180.0 * std::sin(2.0 * pi * 1.5 * t) + 45.0 * std::sin(2.0 * pi * 12.0 * t);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: chart_snapshot --points N --width W --height H --out FILE.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    CChartCtrl chart;
    chart.resize(options.width, options.height);

    // The main window's chart set-up.
    chart.EnableRefresh(false);
    chart.SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart.GetLegend()->DockLegend(3);
    chart.GetLegend()->SetHorizontalMode(true);
    chart.EnableRefresh(true);
    chart.GetTitle()->SetColor(0xFF0000);
    chart.GetTitle()->AddString("Lux Wave");
    CChartStandardAxis* bottom = chart.CreateStandardAxis(CChartCtrl::BottomAxis);
    bottom->SetMinMax(0, options.points);
    bottom->GetLabel()->SetText("x(No.)");
    CChartStandardAxis* left = chart.CreateStandardAxis(CChartCtrl::LeftAxis);
    left->SetMinMax(0, 1000);
    left->GetLabel()->SetText("y(P)");
    left->SetAutomatic(true);

    // The main window's redraw of the live chart.
    std::vector<double> x;
    std::vector<double> y;
    MakeSignal(options.points, x, y);
    chart.EnableRefresh(false);
    chart.RemoveAllSeries();
    auto* serie = new CChartLineSerie(&chart);
    chart.AttachCustomSerie(serie);
    serie->SetSeriesOrdering(0);
    serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(options.points));
    serie->SetWidth(1);
    chart.RefreshCtrl();
    chart.EnableRefresh(true);

    const QImage* image = chart.GetBackgroundImage();
    if (!image || !image->save(QString::fromStdString(options.out), "PNG")) {
        std::fprintf(stderr, "chart_snapshot: could not write %s\n", options.out.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %d points\n", options.out.c_str(), image->width(), image->height(),
                options.points);
    return 0;
}
