// A clock for CLI runs in tests: time moves only when the run looks at it (a step each
// time) or sleeps, so a run on an interval of seconds takes the meter's pacing and no more.
#pragma once

#include <algorithm>
#include <thread>

#include "cli/LiveClock.h"

namespace qtm::cli {

class StepClock final : public LiveClock {
public:
    StepClock(WallTime wallStart, std::chrono::milliseconds step)
        : m_wallStart(wallStart), m_step(step) {}
    SteadyTime Now() override { return m_now += m_step; }
    WallTime WallNow() override {
        return m_wallStart + std::chrono::duration_cast<WallTime::duration>(m_now - SteadyTime{});
    }
    bool SleepUntil(SteadyTime when, const std::atomic<bool>& stop) override {
        if (stop.load()) return false;
        m_now = std::max(m_now, when);
        // A moment of real time, so a run that waits for something outside (a meter plugged
        // in again) does not spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }

private:
    WallTime m_wallStart;
    std::chrono::milliseconds m_step;
    SteadyTime m_now{};
};

}  // namespace qtm::cli
