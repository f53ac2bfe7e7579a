// The meter's answers on the USB link: the VK command set, the fitting-data text,
// the polynomial write and the "QTM300" frames. One whole request in, reply bytes out.
#pragma once

#include <string>

#include "sim/Bytes.h"
#include "sim/MeterModel.h"
#include "sim/MeterState.h"

namespace qtmsim {

// Answers one complete USB frame at `now` seconds, changing the state as the request
// says. An empty reply means the meter sends nothing (unknown requests, frames of the
// other family, the USB-disk command).
Bytes HandleUsbFrame(MeterState& state, Family family, const Bytes& frame, double now);

// The text the fitting-data request streams back: one line per point, then the polynomial.
std::string FitDataText(const MeterState& state);

// The 90-byte "QTM300" information block (text, zero-padded).
Bytes InfoBlock(const MeterState& state);

// Reply lengths the program awaits, by request.
inline constexpr std::size_t kIdentReplySize = 16;
inline constexpr std::size_t kValueReplySize = 11;
inline constexpr std::size_t kMemoryReplySize = 12;
inline constexpr std::size_t kEnergyReplySize = 19;
inline constexpr std::size_t kPageReplySize = 127;
inline constexpr std::size_t kWriteReplySize = 8;
inline constexpr std::size_t kActionReplySize = 7;
inline constexpr std::size_t kInfoBlockSize = 90;

}  // namespace qtmsim
