#include "console/ReadingAnalysis.h"

#include <algorithm>
#include <cmath>

#include "device/CNumberFormat.h"
#include "service/ReadingObject.h"
#include "service/UtcTime.h"

namespace {

const std::string kNotAvailable = "n/a";

std::string Number(double value) {
    return std::isfinite(value) ? qtm::FormatC("%.7g", value) : kNotAvailable;
}

std::string CountText(const qtm::ReadingStats& stats) {
    std::string text = std::to_string(stats.Count());
    if (stats.Skipped() > 0)
        text += " (" + std::to_string(stats.Skipped()) + " not finite, left out)";
    return text;
}

std::string IntegralText(const qtm::ReadingStats& stats) {
    if (stats.TimedCount() == 0) return stats.Count() > 0 ? "n/a (no times)" : kNotAvailable;
    return Number(stats.Integral());
}

std::string TimeText(const std::optional<std::chrono::system_clock::time_point>& when) {
    return when ? qtm::UtcIsoMillis(*when) : kNotAvailable;
}

// One column of the report.
struct Column {
    std::string heading;
    qtm::ReadingStats stats;
    std::optional<std::chrono::system_clock::time_point> first, last;
};

Column ColumnOf(std::string heading, const qtm::ReadingStats& stats,
                const qtm::ReadingDetails& details, std::optional<ReadingSpan> span) {
    Column column{std::move(heading), stats, std::nullopt, std::nullopt};
    if (span && span->last < details.Count()) {
        column.first = details.TimeOf(span->first);
        column.last = details.TimeOf(span->last);
    }
    return column;
}

std::string RangeHeading(ChartXRange chart) {
    // x counts chart points: a tenth of one is as fine as a person reads it.
    return std::string(chart.zoomed ? "Zoomed chart" : "Chart") + ", x " +
           qtm::FormatC("%.1f", chart.low) + " to " + qtm::FormatC("%.1f", chart.high);
}

}  // namespace

ReadingAnalysis::ReadingAnalysis(std::size_t chartPoints) : m_points(chartPoints, kNone) {}

void ReadingAnalysis::Added(std::size_t index, float power, std::optional<TimePoint> time,
                            qtm::RowOrigin origin) {
    m_whole.Add(power, time);
    if (origin == qtm::RowOrigin::Live) {
        m_newestLive = static_cast<std::int64_t>(index);
    } else if (index < m_points.size()) {
        m_points[index] = static_cast<std::int64_t>(index);
    }
    ++m_changes;
}

void ReadingAnalysis::Cleared() {
    m_whole.Clear();
    std::fill(m_points.begin(), m_points.end(), kNone);
    m_newestLive = kNone;
    ++m_changes;
}

void ReadingAnalysis::ChartTicked(int window) {
    const auto n =
        static_cast<std::size_t>(std::clamp<int>(window, 0, static_cast<int>(m_points.size())));
    if (n == 0) return;
    std::copy(m_points.begin() + 1, m_points.begin() + static_cast<std::ptrdiff_t>(n),
              m_points.begin());
    m_points[n - 1] = m_newestLive;
    ++m_changes;
}

void ReadingAnalysis::ChartRestarted(int window) {
    // The chart now draws the rolling window alone; what lay beyond it is no longer shown.
    std::fill(m_points.begin(), m_points.end(), kNone);
    ChartTicked(window);
}

std::optional<ReadingSpan> ReadingAnalysis::ReadingsBetween(double x0, double x1) const {
    if (x1 < x0) std::swap(x0, x1);
    if (!(x1 >= 0) || !(x0 < static_cast<double>(m_points.size()))) return std::nullopt;
    const auto from = static_cast<std::size_t>(std::max(0.0, std::ceil(x0)));
    const auto to = static_cast<std::size_t>(
        std::min(static_cast<double>(m_points.size() - 1), std::floor(x1)));
    std::optional<ReadingSpan> span;
    for (std::size_t i = from; i <= to && i < m_points.size(); ++i) {
        if (m_points[i] == kNone) continue;
        const auto reading = static_cast<std::size_t>(m_points[i]);
        if (!span) {
            span = ReadingSpan{reading, reading};
        } else {
            span->first = std::min(span->first, reading);
            span->last = std::max(span->last, reading);
        }
    }
    return span;
}

qtm::ReadingStats StatsOfReadings(std::span<const qtm::MeasurementRecord> records,
                                  const qtm::ReadingDetails& details, ReadingSpan span) {
    qtm::ReadingStats stats;
    const std::size_t end = std::min({span.last + 1, records.size(), details.Count()});
    for (std::size_t i = span.first; i < end; ++i)
        stats.Add(records[i].power, details.TimeOf(i));
    return stats;
}

std::string StatisticsReport(const ReadingAnalysis& analysis,
                             std::span<const qtm::MeasurementRecord> records,
                             const qtm::ReadingDetails& details, ChartXRange chart,
                             std::string_view model) {
    const qtm::ReadingUnits units = qtm::ListUnitsOfModel(model);
    const std::string unit(units.power);
    std::optional<ReadingSpan> whole;
    if (!records.empty()) whole = ReadingSpan{0, records.size() - 1};
    const std::optional<ReadingSpan> shown = analysis.ReadingsBetween(chart.low, chart.high);
    const Column columns[] = {
        ColumnOf("Whole run", analysis.Whole(), details, whole),
        ColumnOf(RangeHeading(chart),
                 shown ? StatsOfReadings(records, details, *shown) : qtm::ReadingStats(), details,
                 shown),
    };
    std::string text;
    auto line = [&](const std::string& label, auto cell) {
        text += label;
        for (const Column& column : columns) {
            text += '\t';
            text += cell(column);
        }
        text += '\n';
    };
    line("", [](const Column& c) { return c.heading; });
    line("Readings", [](const Column& c) { return CountText(c.stats); });
    line("Minimum (" + unit + ")", [](const Column& c) { return Number(c.stats.Min()); });
    line("Maximum (" + unit + ")", [](const Column& c) { return Number(c.stats.Max()); });
    line("Mean (" + unit + ")", [](const Column& c) { return Number(c.stats.Mean()); });
    line("Standard deviation (" + unit + ")",
         [](const Column& c) { return Number(c.stats.SampleSd()); });
    line("Integral (" + unit + "\u00B7s)", [](const Column& c) { return IntegralText(c.stats); });
    line("First taken (UTC)", [](const Column& c) { return TimeText(c.first); });
    line("Last taken (UTC)", [](const Column& c) { return TimeText(c.last); });
    return text;
}
