#include "service/ValueChecks.h"

#include <cmath>
#include <limits>

#include "device/ModbusFrame.h"
#include "service/NumberText.h"

namespace qtm {

namespace {

constexpr const char* kNothingSent = "; nothing was sent";

template <typename T>
Checked<T> Refuse(RefusalKind kind, std::string sentence) {
    Checked<T> out;
    out.kind = kind;
    out.error = std::move(sentence) + kNothingSent;
    return out;
}

template <typename T>
Checked<T> Accept(T value) {
    Checked<T> out;
    out.value = value;
    return out;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

// Whether the digits before any exponent are all zero: "0.000" is zero, "1e-400" is not,
// though both read as 0.
bool ZeroMantissa(std::string_view text) {
    for (const char c : text) {
        if (c == 'e' || c == 'E') break;
        if (c >= '1' && c <= '9') return false;
    }
    return true;
}

// The number the whole text is, or why not.
Checked<double> ParseNumber(std::string_view text, std::string_view name) {
    if (Blank(text)) return Refuse<double>(RefusalKind::Empty, std::string(name) + " is empty");
    const std::optional<double> value = WholeNumber(text);
    if (!value)
        return Refuse<double>(RefusalKind::NotANumber,
                              std::string(name) + " " + Quoted(text) + " is not a decimal number");
    // A number too large for a double reads as an infinity; name both the same way.
    const bool spelledInfinite = text.find_first_of("iInN") != std::string_view::npos;
    if (std::isnan(*value) || (std::isinf(*value) && spelledInfinite))
        return Refuse<double>(RefusalKind::NotFinite,
                              std::string(name) + " " + Quoted(text) + " is not a finite number");
    if (std::isinf(*value))
        return Refuse<double>(RefusalKind::TooLarge, std::string(name) + " " + Quoted(text) +
                                                         " is beyond what a 64-bit float holds");
    if (*value == 0.0 && !ZeroMantissa(text))
        return Refuse<double>(RefusalKind::TooSmall,
                              std::string(name) + " " + Quoted(text) +
                                  " is too small for a 64-bit float and would be sent as 0");
    return Accept(*value);
}

template <typename T, typename U>
Checked<T> Carry(const Checked<U>& from) {
    Checked<T> out;
    out.kind = from.kind;
    out.error = from.error;
    return out;
}

}  // namespace

Checked<float> CheckSingle(std::string_view text, std::string_view name) {
    const Checked<double> number = ParseNumber(text, name);
    if (!number) return Carry<float>(number);
    const double value = *number.value;
    if (std::fabs(value) > std::numeric_limits<float>::max())
        return Refuse<float>(RefusalKind::TooLarge,
                             std::string(name) + " " + Quoted(text) +
                                 " is beyond the largest 32-bit float (3.4e38) it is sent as");
    const float single = static_cast<float>(value);
    if (value != 0.0 && std::fpclassify(single) != FP_NORMAL)
        return Refuse<float>(RefusalKind::TooSmall,
                             std::string(name) + " " + Quoted(text) +
                                 " is too small for the 32-bit float it is sent as");
    return Accept(single);
}

Checked<double> CheckCoefficient(std::string_view text, std::string_view name) {
    Checked<double> number = ParseNumber(text, name);
    if (number && *number.value == 0.0)
        return Refuse<double>(RefusalKind::Zero,
                              std::string(name) + " " + Quoted(text) + " cannot be 0");
    return number;
}

Checked<std::int32_t> CheckCalK(std::string_view text) {
    const Checked<float> single = CheckSingle(text, "Cal K");
    if (!single && single.kind != RefusalKind::TooSmall) return Carry<std::int32_t>(single);
    const double value = single ? *single.value : 0.0;
    if (std::trunc(value) == 0.0)
        return Refuse<std::int32_t>(RefusalKind::Zero,
                                    "Cal K " + Quoted(text) +
                                        " is sent as a whole number and would be 0; Cal K "
                                        "cannot be 0");
    if (value >= 2147483648.0 || value <= -2147483649.0)
        return Refuse<std::int32_t>(RefusalKind::TooLarge,
                                    "Cal K " + Quoted(text) +
                                        " is beyond the 32-bit integer it is sent as "
                                        "(-2147483648 to 2147483647)");
    return Accept(TruncateToInt32(value));
}

Checked<std::int32_t> CheckSaveInterval(std::string_view text) {
    const Checked<double> number = ParseNumber(text, "the save interval");
    if (!number) return Carry<std::int32_t>(number);
    const double seconds = std::trunc(*number.value);
    if (seconds < 1.0)
        return Refuse<std::int32_t>(RefusalKind::Range,
                                    "the save interval " + Quoted(text) + " is below 1 second");
    if (seconds > 2147483647.0)
        return Refuse<std::int32_t>(
            RefusalKind::TooLarge,
            "the save interval " + Quoted(text) + " is beyond the 2147483647 seconds it can be");
    return Accept(TruncateToInt32(seconds));
}

Checked<int> CheckBusAddress(std::string_view text, std::string_view name) {
    if (Blank(text)) return Refuse<int>(RefusalKind::Empty, std::string(name) + " is empty");
    const std::optional<double> value = WholeNumber(text);
    const bool whole = value && std::isfinite(*value) && *value == std::floor(*value);
    if (!whole || *value < kMinBusAddress || *value > kMaxBusAddress)
        return Refuse<int>(RefusalKind::Range, std::string(name) + " " + Quoted(text) +
                                                   " is not one meter's address (1 to 247)");
    return Accept(static_cast<int>(*value));
}

std::string AsSentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    if (!text.empty() && text.back() != '.') text += '.';
    return text;
}

}  // namespace qtm
