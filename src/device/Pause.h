// The protocol's fixed pauses between a request and the reads of its reply.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace qtm {

// What a pause does instead of sleeping. Fuzzers and tests that drive the link against
// a port double, whose replies are already waiting, put one here: the pacing only gives
// a real meter time to answer, and sleeping would cost them nearly all their runs.
using PauseFunction = void (*)(int ms);

namespace detail {
inline std::atomic<PauseFunction> g_pauseFunction{nullptr};
}  // namespace detail

// Every later pause calls fn instead of sleeping; nullptr brings the real sleep back.
// Returns the function that was in place.
inline PauseFunction SetPauseFunction(PauseFunction fn) {
    return detail::g_pauseFunction.exchange(fn);
}

inline void SleepMs(int ms) {
    if (const PauseFunction fn = detail::g_pauseFunction.load()) {
        fn(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace qtm
