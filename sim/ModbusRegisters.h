// The meter's Modbus RTU side: the register map it serves over RS-485 (live block,
// identity, fitting data) and the register writes it accepts. One whole frame in,
// reply frame out.
#pragma once

#include "sim/Bytes.h"
#include "sim/MeterState.h"

namespace qtmsim {

// Answers one complete, CRC-checked Modbus request at `now` seconds. Frames for
// another address get no reply; broadcast writes (address 0) are carried out
// without one. Unknown registers and bad values get Modbus exception replies.
Bytes HandleModbusFrame(MeterState& state, const Bytes& frame, double now);

// Appends the Modbus CRC, low byte first.
void AppendCrc(Bytes& frame);

inline constexpr std::uint16_t kLiveBlockRegister = 0xE013;
inline constexpr std::uint16_t kLiveBlockRegisters = 18;

}  // namespace qtmsim
