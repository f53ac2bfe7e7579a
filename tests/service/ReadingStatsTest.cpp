#include "service/ReadingStats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "GermanLocale.h"

namespace qtm {
namespace {

using namespace std::chrono;

const system_clock::time_point kStart = sys_days{2026y / 12 / 9};

struct Sample {
    double value;
    std::optional<double> atSeconds;  // after kStart; none for a reading without a time
};

ReadingStats StatsOf(const std::vector<Sample>& samples) {
    ReadingStats stats;
    for (const auto& s : samples) {
        std::optional<system_clock::time_point> when;
        if (s.atSeconds)
            when = kStart + duration_cast<system_clock::duration>(duration<double>(*s.atSeconds));
        stats.Add(s.value, when);
    }
    return stats;
}

TEST(ReadingStatsTest, FiguresAgreeWithHandWork) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::vector<Sample> samples;
        std::int64_t count;
        double min, max, mean, sd, integral;
    } cases[] = {
        {"1 to 4 a second apart", {{1, 0}, {2, 1}, {3, 2}, {4, 3}}, 4, 1, 4, 2.5, 1.2909944, 7.5},
        // (10+20)/2*0.5 + (20+0)/2*2 = 27.5
        {"uneven steps", {{10, 0}, {20, 0.5}, {0, 2.5}}, 3, 0, 20, 10, 10, 27.5},
        {"one reading", {{5, 0}}, 1, 5, 5, 5, nan, 0},
        {"none", {}, 0, nan, nan, nan, nan, 0},
        // The spread of the small values survives the offset; naive sums of squares keep none.
        {"large offset",
         {{1e9 + 1, 0}, {1e9 + 2, 1}, {1e9 + 3, 2}, {1e9 + 4, 3}},
         4,
         1e9 + 1,
         1e9 + 4,
         1e9 + 2.5,
         1.2909944,
         3e9 + 7.5},
        {"not numbers are skipped", {{nan, 0}, {2, 1}, {inf, 2}, {4, 3}}, 2, 2, 4, 3, 1.4142136, 6},
        {"untimed readings add no area",
         {{2, 0}, {100, std::nullopt}, {4, 2}},
         3,
         2,
         100,
         106.0 / 3,
         56.0119035,
         6},
        {"a step back in time adds none", {{2, 10}, {4, 5}, {6, 6}}, 3, 2, 6, 4, 2, 5},
    };
    for (const auto& c : cases) {
        const ReadingStats stats = StatsOf(c.samples);
        auto same = [&](double got, double expected, const char* figure) {
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(got)) << c.what << " " << figure << " " << got;
            else
                EXPECT_NEAR(got, expected, 1e-6 * std::max(1.0, std::abs(expected)))
                    << c.what << " " << figure;
        };
        EXPECT_EQ(stats.Count(), c.count) << c.what;
        same(stats.Min(), c.min, "min");
        same(stats.Max(), c.max, "max");
        same(stats.Mean(), c.mean, "mean");
        same(stats.SampleSd(), c.sd, "sd");
        same(stats.Integral(), c.integral, "integral");
    }
}

TEST(ReadingStatsTest, StatsLineSaysDashWhereAFigureIsNotDefined) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    const struct {
        std::vector<Sample> samples;
        const char* expected;
    } cases[] = {
        {{{1, 0}, {2, 1}, {3, 2}, {4, 3.5}},
         "stats: count=4 min=1 max=4 mean=2.5 sd=1.290994 integral=9.25 unit=lx"},
        {{{1234.5678, 0}},
         "stats: count=1 min=1234.568 max=1234.568 mean=1234.568 sd=- integral=0 unit=lx"},
        {{}, "stats: count=0 min=- max=- mean=- sd=- integral=- unit=lx"},
        // Stored readings have no clock: there is no integral to give.
        {{{1, std::nullopt}, {3, std::nullopt}},
         "stats: count=2 min=1 max=3 mean=2 sd=1.414214 integral=- unit=lx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatStatsLine(StatsOf(c.samples), "lx"), c.expected);
}

TEST(ReadingStatsTest, ClearStartsAgain) {
    ReadingStats stats = StatsOf({{1e6, 0}, {std::nan(""), 1}, {3e6, 2}});
    stats.Clear();
    stats.Add(2, kStart);
    stats.Add(4, kStart + seconds(1));
    EXPECT_EQ(FormatStatsLine(stats, "uW"),
              "stats: count=2 min=2 max=4 mean=3 sd=1.414214 integral=3 unit=uW");
    EXPECT_EQ(stats.Skipped(), 0);
}

}  // namespace
}  // namespace qtm
