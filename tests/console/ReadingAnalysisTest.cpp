#include "console/ReadingAnalysis.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <chrono>

#include "console/ReadingStore.h"

namespace {

using namespace std::chrono;
using TimePoint = system_clock::time_point;

const TimePoint kStart = sys_days(2026y / 12 / 9) + hours(10);

// The report's line that starts with label, its cells after the label.
std::vector<std::string> Line(const std::string& report, const std::string& label) {
    for (const QString& line : QString::fromStdString(report).split('\n')) {
        QStringList cells = line.split('\t');
        if (cells.front().toStdString() != label) continue;
        std::vector<std::string> out;
        for (int i = 1; i < cells.size(); ++i)
            out.push_back(cells[i].toStdString());
        return out;
    }
    return {};
}

// A store as the window has it, the analysis listening.
struct WindowReadings {
    explicit WindowReadings(std::size_t capacity = 100) : store(capacity) {
        store.AddListener({[this](const qtm::MeasurementRecord& r, qtm::RowOrigin origin) {
                               const std::size_t index = store.Count() - 1;
                               analysis.Added(index, r.power, store.Details().TimeOf(index),
                                              origin);
                           },
                           [this] { analysis.Cleared(); }});
    }
    void Live(float power, TimePoint when) {
        qtm::ReadingDetail detail;
        detail.time = when;
        store.AppendUnlisted(power, detail);
    }
    std::string Report(ChartXRange chart) const {
        return StatisticsReport(analysis, store.Records(), store.Details(), chart, "QTM-200");
    }
    ReadingStore store;
    ReadingAnalysis analysis{7500};
};

TEST(ReadingAnalysisTest, RunAndZoomedRangeAsWorkedOutByHand) {
    WindowReadings run;
    // 2 4 4 4 5 5 7 9, one a second, the chart ticking once per reading in a window of 10.
    int second = 0;
    for (float v : {2.0f, 4.0f, 4.0f, 4.0f, 5.0f, 5.0f, 7.0f, 9.0f}) {
        run.Live(v, kStart + seconds(second++));
        run.analysis.ChartTicked(10);
    }
    // Points 9, 8, 7 show the last three readings: x from 6.5 to 9 covers them.
    EXPECT_EQ(run.analysis.ReadingsBetween(6.5, 9), (ReadingSpan{5, 7}));
    EXPECT_EQ(run.analysis.ReadingsBetween(0, 1.5), std::nullopt);  // no reading drawn there

    const std::string report = run.Report({6.5, 9, true});
    EXPECT_EQ(Line(report, "").at(1), "Zoomed chart, x 6.5 to 9.0");
    EXPECT_EQ(Line(report, "Readings"), (std::vector<std::string>{"8", "3"}));
    EXPECT_EQ(Line(report, "Minimum (lx)"), (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(Line(report, "Maximum (lx)"), (std::vector<std::string>{"9", "9"}));
    EXPECT_EQ(Line(report, "Mean (lx)"), (std::vector<std::string>{"5", "7"}));
    // sqrt(32 / 7) and sqrt(8 / 2).
    EXPECT_EQ(Line(report, "Standard deviation (lx)"), (std::vector<std::string>{"2.13809", "2"}));
    // Trapezoids a second wide: 3 + 4 + 4 + 4.5 + 5 + 6 + 8, and 6 + 8.
    EXPECT_EQ(Line(report, "Integral (lx\u00B7s)"), (std::vector<std::string>{"34.5", "14"}));
    EXPECT_EQ(Line(report, "First taken (UTC)"),
              (std::vector<std::string>{"2026-12-09T10:00:00.000Z", "2026-12-09T10:00:05.000Z"}));

    // Auto(Y) empties the chart to a fresh window: only its last point shows a reading.
    run.analysis.ChartRestarted(10);
    EXPECT_EQ(run.analysis.ReadingsBetween(0, 100), (ReadingSpan{7, 7}));
    run.store.Clear();
    EXPECT_EQ(run.analysis.ReadingsBetween(0, 100), std::nullopt);
    EXPECT_EQ(Line(run.Report({0, 100, false}), "Readings"), (std::vector<std::string>{"0", "0"}));
}

TEST(ReadingAnalysisTest, ImportedReadingsHaveNoTimesSoNoIntegral) {
    WindowReadings run;
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f, 6.0f})
        run.store.AppendImported(v);
    // An import draws each reading at its own index.
    EXPECT_EQ(run.analysis.ReadingsBetween(2.2, 4.9), (ReadingSpan{3, 4}));
    const std::string report = run.Report({2.2, 4.9, true});
    EXPECT_EQ(Line(report, "Mean (lx)"), (std::vector<std::string>{"3.2", "5"}));
    EXPECT_EQ(Line(report, "Integral (lx\u00B7s)"),
              (std::vector<std::string>{"n/a (no times)", "n/a (no times)"}));
    EXPECT_EQ(Line(report, "Last taken (UTC)"), (std::vector<std::string>{"n/a", "n/a"}));
}

TEST(ReadingAnalysisTest, AMillionReadingsCostNoMorePerReadingAtTheEnd) {
    constexpr std::size_t kReadings = 1000000;
    constexpr std::size_t kChunk = 100000;
    WindowReadings run(kReadings);
    const auto chunk = [&](std::size_t first) {
        const auto started = steady_clock::now();
        for (std::size_t i = first; i < first + kChunk; ++i) {
            run.Live(static_cast<float>(i % 977), kStart + milliseconds(500 * i));
            if (i % 5 == 0) run.analysis.ChartTicked(100);  // the chart's ticks between passes
            // The window looks a few times a second: here every 10000 readings.
            if (i % 10000 == 0) run.Report({20, 80, true});
        }
        return steady_clock::now() - started;
    };
    const auto first = chunk(0);
    for (std::size_t at = kChunk; at + kChunk < kReadings; at += kChunk)
        chunk(at);
    const auto last = chunk(kReadings - kChunk);
    EXPECT_EQ(run.analysis.Whole().Count(), static_cast<std::int64_t>(kReadings));
    // Generous: a cost that grew with the run would be a hundred times and more.
    EXPECT_LT(last, first * 4 + milliseconds(50));
}

}  // namespace
