#include "service/ReadingStats.h"

#include <gtest/gtest.h>

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

// The line carries every figure to seven digits, which is what the hand work gives.
TEST(ReadingStatsTest, FiguresAgreeWithHandWorkAndDashWhereNotDefined) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::vector<Sample> samples;
        const char* expected;
    } cases[] = {
        {{{1, 0}, {2, 1}, {3, 2}, {4, 3}}, "count=4 min=1 max=4 mean=2.5 sd=1.290994 integral=7.5"},
        // (10+20)/2*0.5 + (20+0)/2*2
        {{{10, 0}, {20, 0.5}, {0, 2.5}}, "count=3 min=0 max=20 mean=10 sd=10 integral=27.5"},
        {{{1234.5678, 0}}, "count=1 min=1234.568 max=1234.568 mean=1234.568 sd=- integral=0"},
        {{}, "count=0 min=- max=- mean=- sd=- integral=-"},
        // The spread of the small values survives the offset; naive sums of squares keep none.
        {{{1e9 + 1, 0}, {1e9 + 2, 1}, {1e9 + 3, 2}, {1e9 + 4, 3}},
         "count=4 min=1e+09 max=1e+09 mean=1e+09 sd=1.290994 integral=3e+09"},
        {{{nan, 0}, {2, 1}, {inf, 2}, {4, 3}}, "count=2 min=2 max=4 mean=3 sd=1.414214 integral=6"},
        // A reading without a time counts but adds no area; a step back in time adds none.
        {{{2, 0}, {100, std::nullopt}, {4, 2}},
         "count=3 min=2 max=100 mean=35.33333 sd=56.0119 integral=6"},
        {{{2, 10}, {4, 5}, {6, 6}}, "count=3 min=2 max=6 mean=4 sd=2 integral=5"},
        // Stored readings have no clock: there is no integral to give.
        {{{1, std::nullopt}, {3, std::nullopt}},
         "count=2 min=1 max=3 mean=2 sd=1.414214 integral=-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatStatsLine(StatsOf(c.samples), "lx"),
                  std::string("stats: ") + c.expected + " unit=lx");
    }
}

}  // namespace
}  // namespace qtm
