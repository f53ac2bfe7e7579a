// Texts from the meter are 8-bit GBK (code page 936); the rest of the program uses UTF-8.
// Texts for the meter go out through the same code page, so a text read and written back
// keeps its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtm {

// Decodes up to length bytes, stopping at the first zero byte. Plain ASCII passes
// unchanged; a byte sequence that is not GBK becomes U+FFFD rather than being dropped.
std::string DecodeMeterText(const std::uint8_t* data, std::size_t length);
inline std::string DecodeMeterText(std::string_view bytes) {
    return DecodeMeterText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// A UTF-8 text in the meter's code page. Refused (no bytes) at the first character GBK
// cannot express, or when the text is not UTF-8 at all; nothing is ever cut to a low byte.
struct MeterTextEncoding {
    std::optional<std::string> bytes;
    std::string character;  // the refused character (UTF-8), or the bytes that are not UTF-8
    bool notUtf8 = false;
};
MeterTextEncoding EncodeMeterText(std::string_view utf8);

// The longest start of GBK bytes that fits width bytes without splitting a two-byte
// character.
std::string_view CutMeterText(std::string_view bytes, std::size_t width);

// A fixed text field as the meter sent it, reduced to its value: up to the first zero byte,
// without the trailing spaces the meter pads its fields with (a write pads them again).
std::string TrimMeterField(const std::uint8_t* data, std::size_t length);

}  // namespace qtm
