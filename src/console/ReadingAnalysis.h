// ReadingAnalysis: the statistics of the window's readings. The whole run's figures are
// running sums taken as each reading goes in, so they cost the same at the millionth reading
// as at the first. For a range of the live chart it knows which reading each chart point
// shows; that range's figures are worked out afresh from those readings alone, never more
// than the chart holds (the last ten seconds live, 7500 readings after an import).
// Qt-free; the dialog feeds it the reading store's and the live chart's events.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service/MeasurementRecord.h"
#include "service/ReadingDetails.h"
#include "service/ReadingRowText.h"
#include "service/ReadingStats.h"

// Readings first to last (buffer indexes, both included).
struct ReadingSpan {
    std::size_t first = 0;
    std::size_t last = 0;
    bool operator==(const ReadingSpan&) const = default;
};

class ReadingAnalysis {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // chartPoints: the live chart's data points (its x runs over their indexes).
    explicit ReadingAnalysis(std::size_t chartPoints = 7500);

    // A reading went into the buffer at index. An imported one is drawn at its own index.
    void Added(std::size_t index, float power, std::optional<TimePoint> time,
               qtm::RowOrigin origin);
    // The buffer was emptied.
    void Cleared();
    // The live chart's rolling window of window points moved on by one point and its last
    // point now shows the newest live reading (the 100 ms tick).
    void ChartTicked(int window);
    // The live chart was emptied to a fresh rolling window (Auto(Y)), whose last point shows
    // the newest live reading.
    void ChartRestarted(int window);

    const qtm::ReadingStats& Whole() const { return m_whole; }
    // The readings the chart points with x from x0 to x1 show; nothing when they show none.
    std::optional<ReadingSpan> ReadingsBetween(double x0, double x1) const;
    // Moves on with everything that can change a figure, so a view need only look again then.
    std::uint64_t Changes() const { return m_changes; }

private:
    static constexpr std::int64_t kNone = -1;

    qtm::ReadingStats m_whole;
    std::vector<std::int64_t> m_points;  // the reading each chart point shows, or kNone
    std::int64_t m_newestLive = kNone;
    std::uint64_t m_changes = 0;
};

// The figures of the readings in span (power and time).
qtm::ReadingStats StatsOfReadings(std::span<const qtm::MeasurementRecord> records,
                                  const qtm::ReadingDetails& details, ReadingSpan span);

// What the live chart shows along x: the range on its axis, and whether a zoom or pan made it.
struct ChartXRange {
    double low = 0;
    double high = 0;
    bool zoomed = false;
};

// The statistics as tab-separated lines, a heading line first and a column for the whole
// run and one for the chart's range: count, minimum, maximum, mean, sample standard deviation
// and the time integral in the catalogue's units of the model's row, and when the first and
// last readings were taken. Numbers in C rules; "n/a" where a figure is not defined.
std::string StatisticsReport(const ReadingAnalysis& analysis,
                             std::span<const qtm::MeasurementRecord> records,
                             const qtm::ReadingDetails& details, ChartXRange chart,
                             std::string_view model);
