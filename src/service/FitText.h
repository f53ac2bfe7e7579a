// The fitting data as the meter hands it over: the text of the USB fitting-data read (pairs
// "T:" … "AD:" and the polynomial "(c4)x4+(c3)x3+(c2)x2+(c1)x+ c0"), and the text the window
// shows for the pairs read over RS-485. Pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qtm {

inline constexpr std::size_t kFitPairCount = 50;
inline constexpr std::size_t kFitCoefficientCount = 5;

// One fitting point: the temperature T and the raw A/D value.
struct FitPair {
    float t = 0;
    float ad = 0;
};

using FitPairs = std::array<FitPair, kFitPairCount>;
// The polynomial's coefficients in the meter's order: c4, c3, c2, c1, c0.
using FitCoefficients = std::array<double, kFitCoefficientCount>;

struct FitTextValues {
    FitPairs pairs{};
    // Each coefficient the text gave; the others are left to the caller's previous values.
    std::array<std::optional<double>, kFitCoefficientCount> coefficients{};
    // How many "AD:" values were seen (pairs past 50 are counted but not kept).
    std::size_t adCount = 0;
};

// Scans the bytes from first to last: "T:" sets T of the current pair, "D:" sets its AD and
// moves to the next pair, "(" sets the next coefficient, and while four coefficients are in,
// "+ " sets c0. Each number is read as C's strtod would from right after its marker. Text
// beyond 50 pairs and 5 coefficients is ignored; any bytes at all are safe.
FitTextValues ParseFitText(std::span<const std::uint8_t> text);

// "<NN> T:%f℃;AD:%f\r\n" for each of the 50 pairs, as 8-bit text in the meter's code page
// (the "℃" is the GBK pair A1 E6).
std::string FormatFitPairsText(const FitPairs& pairs);

}  // namespace qtm
