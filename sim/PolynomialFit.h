// The least-squares fourth-order polynomial the meter fits to its fitting points at
// the end of a fitting run.
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace qtmsim {

// Coefficients c0..c4 of c4*x^4 + c3*x^3 + c2*x^2 + c1*x + c0 that fit the (x, y)
// points best in the least-squares sense. Nothing when the points cannot fix a
// quartic: fewer than five distinct x values, or values that are not finite.
std::optional<std::array<double, 5>> FitQuartic(
    const std::vector<std::pair<double, double>>& points);

}  // namespace qtmsim
