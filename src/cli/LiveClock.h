// The time a live run keeps, and its end on request: the real clocks and an interruptible
// sleep for the program, a clock of their own for tests, so intervals and durations are
// tested without waiting for them.
#pragma once

#include <atomic>
#include <chrono>

namespace qtm::cli {

using SteadyTime = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;

class LiveClock {
public:
    virtual ~LiveClock() = default;
    // Monotonic time, for the run's schedule.
    virtual SteadyTime Now() = 0;
    // The calendar time readings are stamped with (UTC).
    virtual WallTime WallNow() = 0;
    // Waits until when or until stop is set; false when stop was set.
    virtual bool SleepUntil(SteadyTime when, const std::atomic<bool>& stop) = 0;
};

// The machine's clocks; the sleep looks at stop every few milliseconds, so a signal ends
// a wait at once.
class SystemLiveClock final : public LiveClock {
public:
    SteadyTime Now() override { return std::chrono::steady_clock::now(); }
    WallTime WallNow() override { return std::chrono::system_clock::now(); }
    bool SleepUntil(SteadyTime when, const std::atomic<bool>& stop) override;
};

// The clock a process-wide SystemLiveClock gives when nothing else is asked for.
LiveClock& SystemClock();

// While alive, SIGINT and SIGTERM (on Windows Ctrl-C and Ctrl-Break) set the flag, and a
// second one ends the program the usual way; the previous handlers come back at the end.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    static std::atomic<bool>& Flag();
};

}  // namespace qtm::cli
