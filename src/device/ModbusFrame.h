// Modbus RTU frames of the RS-485 link (functions 0x03 and 0x10) and the big-endian
// register values inside them. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qtm {

inline constexpr std::uint16_t kMaxReadRegisters = 125;
inline constexpr std::uint16_t kMaxWriteRegisters = 123;
inline constexpr std::uint8_t kMaxWriteBytes = 246;

// The addresses one meter answers on. 0 is the broadcast that every meter on the line
// obeys without a reply, and 248 to 255 are reserved: nothing of ours is sent there.
inline constexpr int kMinBusAddress = 1;
inline constexpr int kMaxBusAddress = 247;
constexpr bool IsBusAddress(long long address) {
    return address >= kMinBusAddress && address <= kMaxBusAddress;
}

// The live block: 18 registers (36 bytes) from 0xE013.
inline constexpr std::uint16_t kLiveBlockRegister = 0xE013;
inline constexpr std::uint16_t kLiveBlockRegisters = 18;
inline constexpr std::size_t kLiveBlockBytes = 36;

// address 03 reg(BE) count(BE) crc(LE): 8 bytes.
std::vector<std::uint8_t> BuildReadRegistersRequest(std::uint8_t address, std::uint16_t reg,
                                                    std::uint16_t count);
// address 10 reg(BE) count(BE) byteCount data[byteCount] crc(LE): 9 + byteCount bytes.
// data must hold at least byteCount bytes.
std::vector<std::uint8_t> BuildWriteRegistersRequest(std::uint8_t address, std::uint16_t reg,
                                                     std::uint16_t count, std::uint8_t byteCount,
                                                     std::span<const std::uint8_t> data);

// Appends the CRC of everything in frame, low byte first.
void AppendModbusCrc(std::vector<std::uint8_t>& frame);
// True when the last two bytes of frame are the CRC (low byte first) of the rest.
bool ModbusCrcMatches(std::span<const std::uint8_t> frame);

// Register values as the meter sends them: first byte most significant.
std::uint16_t RegisterUInt16(const std::uint8_t* p);
std::uint32_t RegisterUInt32(const std::uint8_t* p);
std::int32_t RegisterInt32(const std::uint8_t* p);
float RegisterFloat(const std::uint8_t* p);
// And the other way round, for the data of write requests.
void PutRegisterUInt16(std::uint8_t* p, std::uint16_t value);
void PutRegisterUInt32(std::uint8_t* p, std::uint32_t value);
void PutRegisterFloat(std::uint8_t* p, float value);

}  // namespace qtm
