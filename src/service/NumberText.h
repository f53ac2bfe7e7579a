// Numbers as text with C rules (a decimal point, no grouping) whatever the user's locale:
// the formats the meter's texts, the window's fields and the CLI's lines use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtm {

// As printf's "%.<precision>f" does in the C locale.
std::string FormatFixed(double value, int precision);
// The shortest text that reads back as the same double (for files read by the program).
std::string FormatExact(double value);
// The same for a single: the fewest digits that read back as the same float.
std::string FormatExact(float value);

// The number at the start of text as C's strtod reads it in the C locale: leading blanks,
// an optional sign, digits with an optional point and exponent (or inf/nan); whatever follows
// is ignored. *used (when given) receives how many characters made the number, 0 when
// there was none, and the value is then 0.
double LeadingNumber(std::string_view text, std::size_t* used = nullptr);

// A whole decimal number and nothing else (blanks around it allowed); nothing otherwise.
std::optional<double> WholeNumber(std::string_view text);

// Truncates toward zero into 32 bits; values beyond the range stop at its ends, NaN is 0.
std::int32_t TruncateToInt32(double value);
// Narrows to single precision; beyond its range the value becomes an infinity.
float NarrowToFloat(double value);

}  // namespace qtm
