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

// Appends p to out unless it repeats the last vertex kept.
void Keep(Kept& out, std::size_t& n, const QPoint& p) {
    if (n == 0 || out[n - 1] != p) out[n++] = p;
}

// The vertices run[0], run[1] (when `ends`), run[top] and run[bottom] (when wanted) in index
// order, run[n - 2] (when `ends`) and run[n - 1], repeats merged. Indices are ordered by
// construction, so no sorting is needed.
std::size_t Pick(const QPoint* run, std::size_t n, bool ends, std::size_t top, bool wantTop,
                 std::size_t bottom, bool wantBottom, Kept& out) {
    std::size_t first = top;
    std::size_t second = bottom;
    bool wantFirst = wantTop;
    bool wantSecond = wantBottom;
    if (bottom < top) {
        std::swap(first, second);
        std::swap(wantFirst, wantSecond);
    }
    std::size_t k = 0;
    out[k++] = run[0];
    if (ends) Keep(out, k, run[1]);
    if (wantFirst) Keep(out, k, run[first]);
    if (wantSecond) Keep(out, k, run[second]);
    if (ends) Keep(out, k, run[n - 2]);
    Keep(out, k, run[n - 1]);
    return k;
}

// The kept vertices of one run (no two neighbours equal, n >= 1).
std::size_t ReduceRun(const QPoint* run, std::size_t n, const QRect& whole, Kept& out) {
    if (n <= 3) {
        std::copy(run, run + n, out.begin());
        return n;
    }
    // First vertex on the top and on the bottom row among those between the ends, written
    // without branches: in noisy data either way is equally likely.
    std::size_t top = 1;
    std::size_t bottom = 1;
    int topRow = run[1].y();
    int bottomRow = topRow;
    for (std::size_t i = 2; i + 1 < n; ++i) {
        const int y = run[i].y();
        const bool higher = y < topRow;
        const bool lower = y > bottomRow;
        top = higher ? i : top;
        topRow = higher ? y : topRow;
        bottom = lower ? i : bottom;
        bottomRow = lower ? y : bottomRow;
    }
    const int firstY = run[0].y();
    const int lastY = run[n - 1].y();
    const int columnTop = std::min({topRow, firstY, lastY});
    const int columnBottom = std::max({bottomRow, firstY, lastY});
    // One column: inside when its x and its extreme rows are.
    const int x = run[0].x();
    const bool inside = x >= whole.left() && x <= whole.right() && columnTop >= whole.top() &&
                        columnBottom <= whole.bottom();
    if (!inside) return Pick(run, n, true, top, true, bottom, true, out);

    const bool turnsAtBottom = bottomRow == columnBottom;
    const bool needTop = firstY != columnTop && lastY != columnTop;
    const std::size_t kept = Pick(run, n, false, top, needTop, bottom, turnsAtBottom, out);
    // The top and bottom rows are there by construction; the end directions and the turn
    // may have been lost to the shortcut.
    bool same = kept >= 2 && RunsDown(out[0], out[1]) == RunsDown(run[0], run[1]) &&
                RunsDown(out[kept - 2], out[kept - 1]) == RunsDown(run[n - 2], run[n - 1]);
    bool keptTurn = false;
    for (std::size_t i = 1; i + 1 < kept; ++i)
        keptTurn = keptTurn || out[i].y() == columnBottom;
    if (same && keptTurn == turnsAtBottom) return kept;

    // The first and the last segment as they were always give the same chain.
    return Pick(run, n, true, top, needTop, bottom, turnsAtBottom, out);
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
