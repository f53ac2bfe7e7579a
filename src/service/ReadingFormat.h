// FormatReading: turns a measured value into the text the window shows and, for
// power and energy, a unit text with a prefix chosen by the value's magnitude.
#pragma once

#include <string>
#include <string_view>

#include "service/ModelCatalog.h"

namespace qtm {

enum class ReadingKind { Plain = 0, Power = 1, Energy = 2 };

// The unit prefix chosen for a reading: base below 10,000, kilo (value / 1,000) below
// 1,000,000, mega (value / 1,000,000) above.
enum class UnitScale { Base, Kilo, Mega };

// The unit text of a row for a kind (Power or Energy) and scale.
std::string_view UnitText(UnitRow row, ReadingKind kind, UnitScale scale);

// The scale for a value; negative values and NaN stay at the base scale.
UnitScale ScaleOf(float value);

// The number text alone: "%d" for whole numbers, then "%5.1f", "%5.2f", "%5.3f" or
// "%5.4f" as the value falls below 1000, 100 and 10.
std::string FormatNumber(float value);

// Overwrites text; assigns unit only for Power and Energy (Plain leaves it alone),
// picking the unit row of the model's group. All arithmetic is single precision.
void FormatReading(std::string& text, ReadingKind kind, float value, std::string& unit,
                   std::string_view model);

}  // namespace qtm
