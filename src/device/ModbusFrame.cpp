#include "device/ModbusFrame.h"

#include <cstring>

#include "device/ModbusCrc.h"

namespace qtm {

namespace {

void PutHead(std::vector<std::uint8_t>& frame, std::uint8_t address, std::uint8_t function,
             std::uint16_t reg, std::uint16_t count) {
    frame.push_back(address);
    frame.push_back(function);
    frame.push_back(static_cast<std::uint8_t>(reg >> 8));
    frame.push_back(static_cast<std::uint8_t>(reg & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(count >> 8));
    frame.push_back(static_cast<std::uint8_t>(count & 0xFF));
}

}  // namespace

void AppendModbusCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = ModbusCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool ModbusCrcMatches(std::span<const std::uint8_t> frame) {
    if (frame.size() < 2) return false;
    const std::size_t body = frame.size() - 2;
    const std::uint16_t crc = ModbusCrc16(frame.data(), body);
    return frame[body] == (crc & 0xFF) && frame[body + 1] == (crc >> 8);
}

std::vector<std::uint8_t> BuildReadRegistersRequest(std::uint8_t address, std::uint16_t reg,
                                                    std::uint16_t count) {
    std::vector<std::uint8_t> frame;
    frame.reserve(8);
    PutHead(frame, address, 0x03, reg, count);
    AppendModbusCrc(frame);
    return frame;
}

std::vector<std::uint8_t> BuildWriteRegistersRequest(std::uint8_t address, std::uint16_t reg,
                                                     std::uint16_t count, std::uint8_t byteCount,
                                                     std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> frame;
    frame.reserve(9u + byteCount);
    PutHead(frame, address, 0x10, reg, count);
    frame.push_back(byteCount);
    const std::size_t take = data.size() < byteCount ? data.size() : byteCount;
    frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(take));
    frame.resize(7u + byteCount, 0);  // never reached by MeterLink, which checks the size
    AppendModbusCrc(frame);
    return frame;
}

std::uint16_t RegisterUInt16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t RegisterUInt32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::int32_t RegisterInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(RegisterUInt32(p));
}

float RegisterFloat(const std::uint8_t* p) {
    const std::uint32_t bits = RegisterUInt32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutRegisterUInt16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

void PutRegisterUInt32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void PutRegisterFloat(std::uint8_t* p, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutRegisterUInt32(p, bits);
}

}  // namespace qtm
