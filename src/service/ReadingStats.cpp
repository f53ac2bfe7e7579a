#include "service/ReadingStats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "device/CNumberFormat.h"

namespace qtm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string StatText(double value) {
    return std::isfinite(value) ? FormatC("%.7g", value) : std::string("-");
}

}  // namespace

void ReadingStats::Add(double value, std::optional<TimePoint> when) {
    if (!std::isfinite(value)) {
        ++m_skipped;
        return;
    }
    ++m_count;
    if (m_count == 1) {
        m_min = m_max = value;
    } else {
        m_min = std::min(m_min, value);
        m_max = std::max(m_max, value);
    }
    const double delta = value - m_mean;
    m_mean += delta / static_cast<double>(m_count);
    m_m2 += delta * (value - m_mean);

    if (!when) return;
    if (m_timed > 0 && *when > m_lastTime) {
        const double seconds = std::chrono::duration<double>(*when - m_lastTime).count();
        const double area = 0.5 * (m_lastValue + value) * seconds;
        // Neumaier's sum: what each addition rounds away is kept and added back at the end.
        const double sum = m_integral + area;
        m_integralCarry += std::abs(m_integral) >= std::abs(area) ? (m_integral - sum) + area
                                                                  : (area - sum) + m_integral;
        m_integral = sum;
    }
    ++m_timed;
    m_lastValue = value;
    m_lastTime = *when;
}

void ReadingStats::Clear() {
    *this = ReadingStats();
}

double ReadingStats::Min() const {
    return m_count > 0 ? m_min : kNaN;
}

double ReadingStats::Max() const {
    return m_count > 0 ? m_max : kNaN;
}

double ReadingStats::Mean() const {
    return m_count > 0 ? m_mean : kNaN;
}

double ReadingStats::SampleSd() const {
    return m_count > 1 ? std::sqrt(m_m2 / static_cast<double>(m_count - 1)) : kNaN;
}

double ReadingStats::Integral() const {
    return m_integral + m_integralCarry;
}

std::string FormatStatsLine(const ReadingStats& stats, std::string_view unit) {
    std::string line = "stats: count=" + std::to_string(stats.Count());
    line += " min=" + StatText(stats.Min());
    line += " max=" + StatText(stats.Max());
    line += " mean=" + StatText(stats.Mean());
    line += " sd=" + StatText(stats.SampleSd());
    line += " integral=" + (stats.TimedCount() > 0 ? StatText(stats.Integral()) : "-");
    line += " unit=";
    line += unit;
    return line;
}

}  // namespace qtm
