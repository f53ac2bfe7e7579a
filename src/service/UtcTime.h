// Moments as the files we write for other programs carry them: UTC, ISO 8601.
#pragma once

#include <chrono>
#include <string>

namespace qtm {

// "2026-12-09T10:15:02.123Z"
std::string UtcIsoMillis(std::chrono::system_clock::time_point when);

}  // namespace qtm
