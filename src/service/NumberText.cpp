#include "service/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qtm {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string FormatFixed(double value, int precision) {
    // Large enough for the 309 digits of the biggest double plus the decimals.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (ec != std::errc{}) return "0";
    return std::string(buffer, end);
}

std::string FormatExact(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc{}) return "0";
    return std::string(buffer, end);
}

std::string FormatExact(float value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc{}) return "0";
    return std::string(buffer, end);
}

double LeadingNumber(std::string_view text, std::size_t* used) {
    if (used) *used = 0;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own; a second sign is no number.
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
    double value = 0.0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ptr == begin) return 0.0;
    if (ec == std::errc::result_out_of_range) {
        // strtod gives the largest magnitude for too large and zero for too small; from_chars
        // leaves the value alone, so tell the two apart by the exponent's sign.
        const std::string_view digits(begin, static_cast<std::size_t>(ptr - begin));
        const std::size_t e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    if (used) *used = static_cast<std::size_t>(ptr - text.data());
    return negative ? -value : value;
}

std::optional<double> WholeNumber(std::string_view text) {
    std::size_t used = 0;
    const double value = LeadingNumber(text, &used);
    if (used == 0) return std::nullopt;
    for (std::size_t i = used; i < text.size(); ++i) {
        if (!IsBlank(text[i])) return std::nullopt;
    }
    return value;
}

std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

float NarrowToFloat(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

}  // namespace qtm
