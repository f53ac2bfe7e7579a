// When a live run takes its passes and when it ends: passes back to back (with the link's
// pause between them), one pass on every tick of an interval grid, or passes back to back
// whose readings are averaged over each interval. Pure: the loop tells it the time and
// what happened, it answers, so the timing is tested with numbers.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace qtm::cli {

struct LiveLimits {
    using Duration = std::chrono::steady_clock::duration;
    std::int64_t count = 0;            // passes (or intervals) to run; 0: no limit
    std::optional<Duration> duration;  // the run's length
    std::optional<Duration> interval;  // one reading per interval
    bool average = false;              // the interval's reading is the mean of its passes
    Duration pause{};                  // between two passes that run back to back
};

class LiveSchedule {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = LiveLimits::Duration;

    LiveSchedule(const LiveLimits& limits, Time start);

    // When the next pass should start, asked at now; nothing when the run is over (its
    // count or duration reached). Never before now, never at or after the run's end.
    std::optional<Time> NextPass(Time now) const;
    // A pass that started at `at` ended at end. Returns its slot: the pass number (from 1)
    // or, on an interval grid, the number of the interval it fell in (from 1). Averaging:
    // take the interval that ended by `at` first (EndedInterval), the pass opens the next.
    std::int64_t PassDone(Time at, Time end);

    // Averaging: the interval whose passes are gathered, once it has ended by now, as its
    // number (from 1) and its end; its reading is then taken and TakeInterval called.
    struct Interval {
        std::int64_t number;
        Time end;
    };
    std::optional<Interval> EndedInterval(Time now) const;
    void TakeInterval();
    // Averaging: when the gathered interval will end, if it ends within the run; an
    // interval the run's end cuts short never gives a reading. The loop waits for it.
    std::optional<Time> OpenIntervalEnd() const;

    // How many passes (or intervals) count against the limit so far.
    std::int64_t Done() const { return m_done; }
    bool OnGrid() const { return m_limits.interval.has_value(); }

private:
    std::int64_t IntervalOf(Time at) const;  // from 0
    Time IntervalStart(std::int64_t index) const;
    bool PastEnd(Time at) const;

    LiveLimits m_limits;
    Time m_start;
    std::int64_t m_done = 0;
    std::optional<Time> m_lastEnd;     // end of the last pass
    std::int64_t m_lastSlot = -1;      // grid: the interval of the last pass
    std::int64_t m_openInterval = -1;  // averaging: the interval passes are gathered for
};

}  // namespace qtm::cli
