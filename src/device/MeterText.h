// Texts from the meter are 8-bit GBK (code page 936); the rest of the program uses UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qtm {

// Decodes up to length bytes, stopping at the first zero byte. Plain ASCII passes
// unchanged; a byte sequence that is not GBK becomes U+FFFD rather than being dropped.
std::string DecodeMeterText(const std::uint8_t* data, std::size_t length);

}  // namespace qtm
