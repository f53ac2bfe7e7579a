// Numbers the operator types and the window shows, always with a decimal point.
#pragma once

#include <QString>
#include <optional>

namespace qtm {

// The number at the start of text, as C's atof reads it: leading blanks, a sign, digits with
// an optional point and exponent; whatever follows is ignored, and no number at all is 0.
// Always with a decimal point, whatever the desktop's language.
double DecimalNumber(const QString& text);

// value with the given number of decimals and a decimal point, as "%.Nf" gives in the C
// locale, for the fields that show meter values.
QString FixedText(double value, int decimals);

// A Modbus slave address typed by the operator: a whole number from 1 to 247, blanks
// around it allowed. Empty otherwise, so a slip never turns into the broadcast address 0.
std::optional<int> BusAddress(const QString& text);

}  // namespace qtm
