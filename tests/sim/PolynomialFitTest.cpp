#include "sim/PolynomialFit.h"

#include <gtest/gtest.h>

#include <limits>

using qtmsim::FitQuartic;

TEST(PolynomialFit, RecoversAnExactQuarticFarFromZero) {
    const double c[5] = {7.0, -3.0, 0.5, 0.02, -0.0004};  // c0..c4
    std::vector<std::pair<double, double>> points;
    for (double x = 20.0; x <= 30.0; x += 0.5) {
        points.emplace_back(x, (((c[4] * x + c[3]) * x + c[2]) * x + c[1]) * x + c[0]);
    }
    const auto fit = FitQuartic(points);
    ASSERT_TRUE(fit);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR((*fit)[i], c[i], 1e-6 * (1 + std::abs(c[i]))) << i;
}

TEST(PolynomialFit, RefusesPointsThatCannotFixAQuartic) {
    const std::vector<std::vector<std::pair<double, double>>> bad = {
        {},
        {{1, 1}, {2, 2}, {3, 3}, {4, 4}},
        {{1, 1}, {1, 2}, {2, 3}, {2, 4}, {3, 5}, {3, 6}, {4, 7}},  // four distinct x
        {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, std::numeric_limits<double>::infinity()}},
    };
    for (const auto& points : bad)
        EXPECT_FALSE(FitQuartic(points)) << points.size();
}
