// Moments as the files we write for other programs carry them: UTC, ISO 8601.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace qtm {

// "2026-12-09T10:15:02.123Z"
std::string UtcIsoMillis(std::chrono::system_clock::time_point when);

// The same text appended to out. Pure arithmetic on the calendar, no gmtime and no
// allocation once out has room: a logger writes one per reading.
void AppendUtcIsoMillis(std::string& out, std::chrono::system_clock::time_point when);

// The length of the text for the years 0 to 9999.
inline constexpr std::size_t kUtcIsoMillisLength = 24;

}  // namespace qtm
