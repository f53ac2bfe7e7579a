#include "chart/ChartPolyline.h"

#include <algorithm>
#include <array>

namespace qtmchart {

namespace {

// Appends p unless it repeats the last vertex kept.
void Keep(std::vector<QPoint>& out, QPoint p) {
    if (out.empty() || out.back() != p) out.push_back(p);
}

// Keeps the run run[0..n-1] (no two neighbours equal) as described in the header.
void KeepRun(std::vector<QPoint>& out, const std::vector<QPoint>& run) {
    const std::size_t n = run.size();
    if (n <= 6) {
        for (const QPoint& p : run)
            Keep(out, p);
        return;
    }
    std::size_t top = 1;
    std::size_t bottom = 1;
    for (std::size_t i = 2; i + 1 < n; ++i) {
        if (run[i].y() < run[top].y()) top = i;
        if (run[i].y() > run[bottom].y()) bottom = i;
    }
    std::array<std::size_t, 6> keep = {0, 1, top, bottom, n - 2, n - 1};
    std::sort(keep.begin(), keep.end());
    for (std::size_t k = 0; k < keep.size(); ++k) {
        if (k == 0 || keep[k] != keep[k - 1]) Keep(out, run[keep[k]]);
    }
}

}  // namespace

std::vector<QPoint> ReducePolylineColumns(const QPoint* pixels, std::size_t count) {
    std::vector<QPoint> out;
    if (count == 0 || !pixels) return out;
    out.reserve(std::min<std::size_t>(count, 8192));
    std::vector<QPoint> run;
    for (std::size_t i = 0; i < count; ++i) {
        const QPoint p = pixels[i];
        if (!run.empty() && run.back() == p) continue;
        if (!run.empty() && run.back().x() != p.x()) {
            KeepRun(out, run);
            run.clear();
        }
        run.push_back(p);
    }
    KeepRun(out, run);
    return out;
}

}  // namespace qtmchart
