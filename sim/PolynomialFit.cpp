#include "sim/PolynomialFit.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace qtmsim {

namespace {

constexpr int kTerms = 5;

// Solves the 5x5 system a * c = b by Gaussian elimination with partial pivoting.
std::optional<std::array<double, kTerms>> Solve(
    std::array<std::array<double, kTerms + 1>, kTerms> a) {
    for (int col = 0; col < kTerms; ++col) {
        int pivot = col;
        for (int row = col + 1; row < kTerms; ++row) {
            if (std::abs(a[row][col]) > std::abs(a[pivot][col])) pivot = row;
        }
        if (std::abs(a[pivot][col]) < 1e-12) return std::nullopt;
        std::swap(a[col], a[pivot]);
        for (int row = 0; row < kTerms; ++row) {
            if (row == col) continue;
            const double f = a[row][col] / a[col][col];
            for (int k = col; k <= kTerms; ++k)
                a[row][k] -= f * a[col][k];
        }
    }
    std::array<double, kTerms> c{};
    for (int i = 0; i < kTerms; ++i)
        c[i] = a[i][kTerms] / a[i][i];
    return c;
}

}  // namespace

std::optional<std::array<double, 5>> FitQuartic(
    const std::vector<std::pair<double, double>>& points) {
    std::set<double> distinct;
    double low = 0, high = 0;
    for (const auto& [x, y] : points) {
        if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
        if (distinct.empty()) low = high = x;
        low = std::min(low, x);
        high = std::max(high, x);
        distinct.insert(x);
    }
    if (distinct.size() < kTerms) return std::nullopt;

    // Fit in u = (x - mid) / half, which spans -1..1, so the normal equations stay
    // well conditioned whatever the range of x; then expand back to powers of x.
    const double mid = (low + high) / 2;
    const double half = (high - low) / 2;
    std::array<std::array<double, kTerms + 1>, kTerms> normal{};
    for (const auto& [x, y] : points) {
        const double u = (x - mid) / half;
        double powers[2 * kTerms - 1];
        powers[0] = 1;
        for (int i = 1; i < 2 * kTerms - 1; ++i)
            powers[i] = powers[i - 1] * u;
        for (int r = 0; r < kTerms; ++r) {
            for (int c = 0; c < kTerms; ++c)
                normal[r][c] += powers[r + c];
            normal[r][kTerms] += powers[r] * y;
        }
    }
    const auto d = Solve(normal);
    if (!d) return std::nullopt;

    // sum d_k ((x - mid) / half)^k = sum d_k / half^k * sum_j C(k, j) x^j (-mid)^(k - j)
    std::array<double, kTerms> c{};
    for (int k = 0; k < kTerms; ++k) {
        const double scaled = (*d)[k] / std::pow(half, k);
        double binomial = 1;
        for (int j = 0; j <= k; ++j) {
            c[j] += scaled * binomial * std::pow(-mid, k - j);
            binomial = binomial * (k - j) / (j + 1);
        }
    }
    for (double v : c) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    return c;
}

}  // namespace qtmsim
