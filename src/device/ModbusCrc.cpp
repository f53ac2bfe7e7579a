#include "device/ModbusCrc.h"

namespace qtm {

std::uint16_t ModbusCrc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1) != 0;
            crc >>= 1;
            if (carry) crc ^= 0xA001;
        }
    }
    return crc;
}

}  // namespace qtm
