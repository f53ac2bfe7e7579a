// Finds where the first request frame in a stream of received bytes ends, for the
// USB command set (VK, fitting-data, polynomial and "QTM300" frames) or for Modbus RTU.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qtmsim {

enum class CutStatus {
    Complete,  // a whole frame of `length` bytes starts here
    NeedMore,  // the bytes so far are the start of a frame
    Invalid,   // no frame starts here: drop one byte and look again
};

struct Cut {
    CutStatus status = CutStatus::Invalid;
    std::size_t length = 0;
};

// Frames of the USB link: "VK" reads (7 bytes) and writes (7 + length, except the
// band and range writes whose length field says 14 over 12 value bytes, and the erase
// request, which is 7 bytes), "Fit\0R\0", "Fit.W" with five doubles, and the "QTM300"
// frames 8C 00, 8C 8C 01 and the 12-byte information request.
Cut CutUsbFrame(const std::uint8_t* data, std::size_t size);

// Modbus RTU requests: function 0x03 (8 bytes) and 0x10 (9 + byte count), any
// address, accepted only with a matching CRC.
Cut CutModbusFrame(const std::uint8_t* data, std::size_t size);

// Longest write value the meter takes; a bigger length field marks junk.
inline constexpr std::size_t kMaxVkValueBytes = 64;

}  // namespace qtmsim
