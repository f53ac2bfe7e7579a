// The timing of a live run, in numbers: when passes start, which interval a pass falls in,
// when an averaged interval is due, and when the run is over.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/CliOptions.h"
#include "cli/LiveSchedule.h"
#include "cli/ReadingMean.h"

namespace qtm::cli {
namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kStart{std::chrono::hours(1)};

Clock::time_point At(double seconds) {
    return kStart +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}
double SecondsOf(Clock::time_point t) {
    return std::chrono::duration<double>(t - kStart).count();
}
LiveLimits::Duration Length(double seconds) {
    return std::chrono::duration_cast<LiveLimits::Duration>(std::chrono::duration<double>(seconds));
}

LiveLimits Limits(std::int64_t count, double duration, double interval, bool average = false,
                  double pause = 0) {
    LiveLimits limits;
    limits.count = count;
    if (duration > 0) limits.duration = Length(duration);
    if (interval > 0) limits.interval = Length(interval);
    limits.average = average;
    limits.pause = Length(pause);
    return limits;
}

// Runs passes of the given length, each as soon as the schedule allows, and returns the
// start times, up to max passes.
std::vector<double> PassStarts(LiveSchedule& schedule, double passLength, int max = 20) {
    std::vector<double> starts;
    double now = 0;
    while (static_cast<int>(starts.size()) < max) {
        const auto next = schedule.NextPass(At(now));
        if (!next) break;
        now = SecondsOf(*next);
        starts.push_back(now);
        if (schedule.EndedInterval(At(now))) schedule.TakeInterval();
        schedule.PassDone(At(now), At(now + passLength));
        now += passLength;
    }
    return starts;
}

void ExpectTimes(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-6) << "pass " << i;
}

TEST(LiveScheduleTest, BackToBackPassesKeepThePauseAndStopAtTheCount) {
    LiveSchedule schedule(Limits(3, 0, 0, false, 1), kStart);
    ExpectTimes(PassStarts(schedule, 0.3), {0, 1.3, 2.6});
}

TEST(LiveScheduleTest, IntervalPassesStayOnTheGridWhateverTheirLength) {
    LiveSchedule shortPasses(Limits(4, 0, 2), kStart);
    ExpectTimes(PassStarts(shortPasses, 0.7), {0, 2, 4, 6});
    // A pass that runs into the next interval starts that one late; one that covers a
    // whole interval loses it, and the grid goes on where it was.
    LiveSchedule overrun(Limits(3, 0, 2), kStart);
    ExpectTimes(PassStarts(overrun, 4.5), {0, 4.5, 9});
}

TEST(LiveScheduleTest, DurationEndsTheRunBeforeAPassWouldStartAtOrAfterIt) {
    LiveSchedule grid(Limits(0, 5, 2), kStart);
    ExpectTimes(PassStarts(grid, 0.5), {0, 2, 4});
    LiveSchedule plain(Limits(100, 1, 0), kStart);
    ExpectTimes(PassStarts(plain, 0.4), {0, 0.4, 0.8});
}

TEST(LiveScheduleTest, AveragingGathersAnIntervalsPassesAndIsDueAtItsEnd) {
    LiveSchedule schedule(Limits(2, 0, 2, true), kStart);
    std::vector<std::int64_t> slots;
    for (const double at : {0.0, 0.7, 1.4, 2.1, 2.8, 3.5}) {
        ASSERT_TRUE(schedule.NextPass(At(at)));
        if (const auto ended = schedule.EndedInterval(At(at))) {
            EXPECT_EQ(ended->number, 1);
            EXPECT_NEAR(SecondsOf(ended->end), 2.0, 1e-9);
            schedule.TakeInterval();
        }
        slots.push_back(schedule.PassDone(At(at), At(at + 0.7)));
    }
    EXPECT_EQ(slots, (std::vector<std::int64_t>{1, 1, 1, 2, 2, 2}));
    // A pass at 4.2 would fall beyond the second interval: none is run, and the loop waits
    // for the second interval's end to take its reading.
    EXPECT_FALSE(schedule.NextPass(At(4.2)));
    ASSERT_TRUE(schedule.OpenIntervalEnd());
    EXPECT_NEAR(SecondsOf(*schedule.OpenIntervalEnd()), 4.0, 1e-9);
    EXPECT_FALSE(schedule.EndedInterval(At(3.9)));
    EXPECT_TRUE(schedule.EndedInterval(At(4.0)));
}

TEST(LiveScheduleTest, AnIntervalTheDurationCutsShortGivesNoReading) {
    LiveSchedule schedule(Limits(0, 3, 2, true), kStart);
    schedule.PassDone(At(2.2), At(2.9));
    EXPECT_FALSE(schedule.OpenIntervalEnd());
}

TEST(ReadingMeanTest, EveryFieldIsTheMeanOfTheInterval) {
    ReadingMean mean;
    auto add = [&mean](float power, double energy, float temperature, float cal) {
        ReadingObject reading;
        reading.power = power;
        reading.energy = energy;
        reading.temperature = temperature;
        reading.cal = cal;
        mean.Add(reading);
    };
    add(1.0f, 10, 20.0f, 2.0f);
    add(2.0f, 20, 21.0f, 2.0f);
    add(4.0f, 60, 25.0f, 2.5f);
    const ReadingObject m = mean.Mean();
    EXPECT_FLOAT_EQ(m.power, 7.0f / 3);
    EXPECT_DOUBLE_EQ(m.energy, 30);
    EXPECT_FLOAT_EQ(m.temperature, 22.0f);
    EXPECT_FLOAT_EQ(m.cal, 6.5f / 3);
    mean.Clear();
    EXPECT_EQ(mean.Count(), 0);
}

TEST(ParseSecondsTest, TakesSecondsOrANumberWithAUnit) {
    const std::vector<std::pair<const char*, double>> good{
        {"90", 90}, {"0.5", 0.5}, {"2s", 2}, {"1.5m", 90}, {"2h", 7200}, {".25", 0.25}};
    for (const auto& [text, seconds] : good) {
        ASSERT_TRUE(ParseSeconds(text)) << text;
        EXPECT_DOUBLE_EQ(*ParseSeconds(text), seconds) << text;
    }
    for (const char* bad : {"", "0", "-1", "1x", "inf", "nan", "m", "1 s", "1e400", "+2"})
        EXPECT_FALSE(ParseSeconds(bad)) << bad;
}

}  // namespace
}  // namespace qtm::cli
