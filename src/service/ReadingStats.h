// Count, min, max, mean, sample standard deviation and the time integral of a run's power,
// kept as running sums (Welford), so the cost does not grow with the run and a long run's
// large values do not cancel out the small differences that make its spread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtm {

class ReadingStats {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // A value that is not finite (a meter's NaN or infinity) is not taken into any figure:
    // one such reading would make every figure of the run NaN. It is counted in Skipped().
    void Add(double value, std::optional<TimePoint> when = std::nullopt);
    void Clear();

    std::int64_t Count() const { return m_count; }  // the values taken
    std::int64_t Skipped() const { return m_skipped; }
    // How many values came with a time; the integral needs two.
    std::int64_t TimedCount() const { return m_timed; }
    double Min() const;       // NaN with no values
    double Max() const;       // NaN with no values
    double Mean() const;      // NaN with no values
    double SampleSd() const;  // NaN with fewer than two values
    // Trapezoids between consecutive values that have a time, value × seconds; 0 with fewer
    // than two. A step back in time (the clock was set back) adds no area.
    double Integral() const;

private:
    std::int64_t m_count = 0;
    std::int64_t m_skipped = 0;
    std::int64_t m_timed = 0;
    double m_min = 0;
    double m_max = 0;
    double m_mean = 0;
    double m_m2 = 0;  // sum of squared differences from the running mean
    // The integral as a compensated sum: a day of readings adds tens of thousands of
    // small areas to a large total.
    double m_integral = 0;
    double m_integralCarry = 0;
    double m_lastValue = 0;
    TimePoint m_lastTime{};
};

// "stats: count=N min=V max=V mean=V sd=V integral=V unit=U": V with "%.7g" in C rules,
// "-" where a value is not defined (no values; sd with one value; the integral when no value
// had a time, as with stored readings).
std::string FormatStatsLine(const ReadingStats& stats, std::string_view unit);

}  // namespace qtm
