#include "service/UtcTime.h"

#include <cstdio>
#include <ctime>

namespace qtm {

std::string UtcIsoMillis(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    // Floor, not truncation: a moment before 1970 must not round towards it.
    const auto ms = floor<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const int millis = static_cast<int>(ms - static_cast<long long>(seconds) * 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return text;
}

}  // namespace qtm
