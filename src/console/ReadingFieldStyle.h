// The colours and fonts of the main window's reading fields and plain labels, by control id.
// The unit labels follow the live loop's blink parity, so each pass is visible at a glance.
#pragma once

#include <cstdint>
#include <optional>

namespace qtm {

// A 0x00BBGGRR colour, the convention the window's colour constants are written in.
using ColorRef = std::uint32_t;

inline constexpr ColorRef kReadingBlue = 0xFF0000;
inline constexpr ColorRef kUnitRed = 0x0000FF;

struct FieldStyle {
    int points;                          // font size of the "宋体" face
    std::optional<ColorRef> textColour;  // empty: the default text colour
};

// Style of a static control by id; plain labels without an id and the two Auto(Y) check
// boxes (kPlainLabel) get 9 points and the default colour. Empty for other controls.
inline constexpr int kPlainLabel = -1;
std::optional<FieldStyle> StyleOfField(int controlId, bool blink);

}  // namespace qtm
