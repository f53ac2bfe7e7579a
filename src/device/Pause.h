// The protocol's fixed pauses between a request and the reads of its reply.
#pragma once

#include <chrono>
#include <thread>

namespace qtm {

inline void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace qtm
