// CRC-16 of Modbus RTU frames, shared by the link and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qtm {

// CRC-16/MODBUS: reflected polynomial 0xA001, start 0xFFFF, no final XOR.
// Over no bytes it is 0xFFFF. On the wire the low byte goes first.
std::uint16_t ModbusCrc16(const std::uint8_t* data, std::size_t length);

}  // namespace qtm
