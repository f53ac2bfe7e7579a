#include "service/ReadingFormat.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "device/CNumberFormat.h"

namespace qtm {
namespace {

// Columns: Power base, kilo, mega, then Energy base, kilo, mega. The PPFD row does not
// step one prefix per factor of 1,000; meters' users read these exact texts.
constexpr std::array<std::array<std::string_view, 6>, 7> kUnitTexts{{
    {"umol/cm2/s", "mmol/cm2/s", "kmol/cm2", "uJ/cm2", "J/cm2", "kJ/cm2"},
    {"cd/m2", "kcd/m2", "Mcd/m2", "cd/m2.s", "kcd/m2.s", "Mcd/m2.s"},
    {"mcd/lx", "cd/lx", "kcd/lx", "mcd/lx.s", "cd/lx.s", "kcd/lx.s"},
    {"lm", "klm", "Mlm", "lm.s", "klm.s", "Mlm.s"},
    {"uW/cm2", "mW/cm2", "W/cm2", "mJ/cm2", "J/cm2", "kJ/cm2"},
    {"uW", "mW", "W", "mJ", "J", "kJ"},
    {"lx", "klx", "Mlx", "lx.s", "klx.s", "Mlx.s"},
}};

// True when the float is a whole number inside the int32 range. The range test comes
// first: converting a float outside it (or NaN) to an integer is undefined.
bool IsWholeInt32(float value, int* whole) {
    // 2^31 is exactly representable; every float below it and at or above -2^31 fits.
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return false;
    const int truncated = static_cast<int>(value);
    if (static_cast<float>(truncated) != value) return false;
    *whole = truncated;
    return true;
}

}  // namespace

std::string_view UnitText(UnitRow row, ReadingKind kind, UnitScale scale) {
    const auto rowIndex = static_cast<std::size_t>(row);
    if (rowIndex >= kUnitTexts.size() || kind == ReadingKind::Plain) return {};
    const std::size_t column =
        (kind == ReadingKind::Energy ? 3u : 0u) + static_cast<std::size_t>(scale);
    return kUnitTexts[rowIndex][column];
}

UnitScale ScaleOf(float value) {
    if (value >= 1000000.0f) return UnitScale::Mega;
    if (value >= 10000.0f) return UnitScale::Kilo;
    return UnitScale::Base;
}

std::string FormatNumber(float value) {
    char buffer[64];
    int whole = 0;
    if (IsWholeInt32(value, &whole)) {
        SnprintfC(buffer, sizeof buffer, "%d", whole);
    } else if (value >= 1000.0f) {
        // Large floats print many digits; 64 bytes hold any float with one decimal.
        SnprintfC(buffer, sizeof buffer, "%5.1f", static_cast<double>(value));
    } else if (value >= 100.0f) {
        SnprintfC(buffer, sizeof buffer, "%5.2f", static_cast<double>(value));
    } else if (value >= 10.0f) {
        SnprintfC(buffer, sizeof buffer, "%5.3f", static_cast<double>(value));
    } else {
        SnprintfC(buffer, sizeof buffer, "%5.4f", static_cast<double>(value));
    }
    return buffer;
}

void FormatReading(std::string& text, ReadingKind kind, float value, std::string& unit,
                   std::string_view model) {
    if (kind != ReadingKind::Plain) {
        const UnitScale scale = ScaleOf(value);
        if (scale == UnitScale::Mega) {
            value /= 1000000.0f;
        } else if (scale == UnitScale::Kilo) {
            value /= 1000.0f;
        }
        unit = UnitText(TextsOfModel(model).unitRow, kind, scale);
    }
    text = FormatNumber(value);
}

}  // namespace qtm
