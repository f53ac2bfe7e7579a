#include "service/UtcTime.h"

#include <cstdio>

namespace qtm {
namespace {

// Writes value as exactly width digits.
char* PutDigits(char* at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

}  // namespace

std::string UtcIsoMillis(std::chrono::system_clock::time_point when) {
    std::string text;
    AppendUtcIsoMillis(text, when);
    return text;
}

void AppendUtcIsoMillis(std::string& out, std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    // Floor, not truncation: a moment before 1970 must not round towards it.
    const auto ms = floor<milliseconds>(when.time_since_epoch());
    const auto day = floor<days>(ms);
    const year_month_day date{sys_days{day}};
    const int yearNumber = static_cast<int>(date.year());
    const auto inDay = (ms - day).count();
    const int hour = static_cast<int>(inDay / 3'600'000);
    const int minute = static_cast<int>(inDay / 60'000 % 60);
    const int second = static_cast<int>(inDay / 1000 % 60);
    const int millis = static_cast<int>(inDay % 1000);
    if (yearNumber < 0 || yearNumber > 9999) {
        // Beyond four digits the year is written as printf writes it.
        char text[96];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", yearNumber,
                      static_cast<int>(static_cast<unsigned>(date.month())),
                      static_cast<int>(static_cast<unsigned>(date.day())), hour, minute, second,
                      millis);
        out += text;
        return;
    }
    char text[kUtcIsoMillisLength];
    char* at = PutDigits(text, yearNumber, 4);
    *at++ = '-';
    at = PutDigits(at, static_cast<int>(static_cast<unsigned>(date.month())), 2);
    *at++ = '-';
    at = PutDigits(at, static_cast<int>(static_cast<unsigned>(date.day())), 2);
    *at++ = 'T';
    at = PutDigits(at, hour, 2);
    *at++ = ':';
    at = PutDigits(at, minute, 2);
    *at++ = ':';
    at = PutDigits(at, second, 2);
    *at++ = '.';
    at = PutDigits(at, millis, 3);
    *at++ = 'Z';
    out.append(text, static_cast<std::size_t>(at - text));
}

}  // namespace qtm
