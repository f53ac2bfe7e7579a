// The checks every value an operator gives passes before any byte of it is sent to a meter,
// in the window and in qtm200cli alike: a value that cannot have been meant (no number, not
// finite, beyond or below what its type on the wire holds, an address every meter obeys) is
// refused with one sentence, so a calibration is never changed by a slip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtm {

// Why a value was refused; Zero is told apart because the window has its own texts for it.
enum class RefusalKind { None, Empty, NotANumber, NotFinite, TooLarge, TooSmall, Zero, Range };

template <typename T>
struct Checked {
    std::optional<T> value;
    RefusalKind kind = RefusalKind::None;
    std::string error;  // one sentence, lower case first, ending in "; nothing was sent"

    explicit operator bool() const { return value.has_value(); }
};

// K and the calibration value: a decimal number that a 32-bit float carries without
// becoming an infinity or losing everything to underflow. name appears in the sentence.
Checked<float> CheckSingle(std::string_view text, std::string_view name);
// A formula coefficient, sent as a 64-bit float; 0 is refused (the meter's formula takes
// none).
Checked<double> CheckCoefficient(std::string_view text, std::string_view name);
// Cal K: read as a float, sent truncated toward zero as a 32-bit integer, which must not be
// 0 nor beyond the integer's range.
Checked<std::int32_t> CheckCalK(std::string_view text);
// The data-save interval: truncated toward zero to whole seconds, at least 1.
Checked<std::int32_t> CheckSaveInterval(std::string_view text);
// An RS-485 address: a whole number from 1 to 247 (0 is the broadcast every meter obeys).
Checked<int> CheckBusAddress(std::string_view text, std::string_view name = "the bus address");

// The sentence with its first letter in upper case, for the window's messages.
std::string AsSentence(std::string text);

}  // namespace qtm
