#include "cli/LiveClock.h"

#include <algorithm>
#include <thread>

namespace qtm::cli {
namespace {

// Short enough that Ctrl-C feels immediate, long enough to cost nothing.
constexpr auto kStopLook = std::chrono::milliseconds(20);

}  // namespace

bool SystemLiveClock::SleepUntil(SteadyTime when, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const SteadyTime now = Now();
        if (now >= when) return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(when - now, kStopLook));
    }
    return false;
}

LiveClock& SystemClock() {
    static SystemLiveClock clock;
    return clock;
}

}  // namespace qtm::cli
