#include "chart/ChartPolyline.h"

#include <algorithm>
#include <array>

namespace qtmchart {

namespace {

using Kept = std::array<QPoint, 6>;

// Direction of a vertical segment; neighbours in a run never share a row.
bool RunsDown(const QPoint& from, const QPoint& to) {
    return to.y() > from.y();
}

// Appends run[index] to out unless it repeats the last vertex kept.
void Keep(Kept& out, std::size_t& n, const QPoint& p) {
    if (n == 0 || out[n - 1] != p) out[n++] = p;
}

// The vertices of run[keep[0..k-1]] in index order, repeats merged.
std::size_t Pick(const QPoint* run, std::array<std::size_t, 6>& keep, std::size_t k, Kept& out) {
    std::sort(keep.begin(), keep.begin() + k);
    std::size_t n = 0;
    for (std::size_t i = 0; i < k; ++i)
        Keep(out, n, run[keep[i]]);
    return n;
}

// The kept vertices of one run (no two neighbours equal, n >= 1).
std::size_t ReduceRun(const QPoint* run, std::size_t n, const QRect& whole, Kept& out) {
    if (n <= 3) {
        std::copy(run, run + n, out.begin());
        return n;
    }
    // First vertex on the top and on the bottom row among those between the ends.
    std::size_t top = 1;
    std::size_t bottom = 1;
    for (std::size_t i = 2; i + 1 < n; ++i) {
        if (run[i].y() < run[top].y()) top = i;
        if (run[i].y() > run[bottom].y()) bottom = i;
    }
    // One column: inside when its x and its extreme rows are.
    const int x = run[0].x();
    const bool inside = x >= whole.left() && x <= whole.right() &&
                        std::min({run[0].y(), run[top].y(), run[n - 1].y()}) >= whole.top() &&
                        std::max({run[0].y(), run[bottom].y(), run[n - 1].y()}) <= whole.bottom();
    std::array<std::size_t, 6> keep{};
    std::size_t k = 0;
    if (!inside) {
        keep = {0, 1, top, bottom, n - 2, n - 1};
        return Pick(run, keep, 6, out);
    }

    const int firstY = run[0].y();
    const int lastY = run[n - 1].y();
    const int topY = std::min({run[top].y(), firstY, lastY});
    const int bottomY = std::max({run[bottom].y(), firstY, lastY});
    const bool turnsAtBottom = run[bottom].y() == bottomY;
    keep[k++] = 0;
    if (firstY != topY && lastY != topY) keep[k++] = top;
    if (turnsAtBottom) keep[k++] = bottom;
    keep[k++] = n - 1;
    std::size_t kept = Pick(run, keep, k, out);
    // The top and bottom rows are there by construction; the end directions and the turn
    // may have been lost to the shortcut.
    bool same = kept >= 2 && RunsDown(out[0], out[1]) == RunsDown(run[0], run[1]) &&
                RunsDown(out[kept - 2], out[kept - 1]) == RunsDown(run[n - 2], run[n - 1]);
    bool keptTurn = false;
    for (std::size_t i = 1; i + 1 < kept; ++i)
        keptTurn = keptTurn || out[i].y() == bottomY;
    if (same && keptTurn == turnsAtBottom) return kept;

    // The first and the last segment as they were always give the same chain.
    keep[k++] = 1;
    keep[k++] = n - 2;
    return Pick(run, keep, k, out);
}

}  // namespace

std::size_t ReducePolylineColumns(QPoint* pixels, std::size_t count, const QRect& whole) {
    if (count == 0 || !pixels) return 0;
    count = static_cast<std::size_t>(std::unique(pixels, pixels + count) - pixels);
    std::size_t written = 0;
    Kept kept;
    for (std::size_t start = 0; start < count;) {
        std::size_t end = start + 1;
        while (end < count && pixels[end].x() == pixels[start].x())
            ++end;
        // The kept vertices are copied out before writing: the output may overlap the run.
        const std::size_t n = ReduceRun(pixels + start, end - start, whole, kept);
        std::copy(kept.begin(), kept.begin() + n, pixels + written);
        written += n;
        start = end;
    }
    return written;
}

std::vector<QPoint> ReducedPolylineColumns(const std::vector<QPoint>& pixels, const QRect& whole) {
    std::vector<QPoint> reduced = pixels;
    reduced.resize(ReducePolylineColumns(reduced.data(), reduced.size(), whole));
    return reduced;
}

}  // namespace qtmchart
