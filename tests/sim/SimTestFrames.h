// Request builders and reply readers shared by the simulator tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/Bytes.h"
#include "sim/MeterModel.h"
#include "sim/ModbusRegisters.h"

namespace simtest {

using qtmsim::Bytes;

inline Bytes VkRead(std::uint8_t code, std::uint8_t value = 0x01) {
    if (code == 0x01 || code == 0x02) return {'V', 'K', 0x42, code, 0x00, 0x01, value};
    return {'V', 'K', 0x42, code, 0x01, 0x00, value};
}

inline Bytes VkWrite(std::uint8_t code, const Bytes& value) {
    Bytes out;
    out.reserve(value.size() + 7);
    for (std::uint8_t b : {std::uint8_t{'V'}, std::uint8_t{'K'}, std::uint8_t{0x43}, code,
                           static_cast<std::uint8_t>(value.size()), std::uint8_t{0}}) {
        out.push_back(b);
    }
    for (std::uint8_t b : value)
        out.push_back(b);
    out.push_back(0x00);
    return out;
}

// Band or range write: a 14 in the length field, twelve text bytes padded with spaces.
inline Bytes TextWrite(std::uint8_t code, const std::string& text) {
    Bytes out = VkWrite(code, Bytes(12, ' '));
    out[4] = 0x0E;
    std::copy(text.begin(), text.end(), out.begin() + 6);
    return out;
}

inline Bytes FormulaWrite(std::initializer_list<double> c0ToC4) {
    Bytes out{'F', 'i', 't', '.', 'W'};
    for (double c : c0ToC4)
        qtmsim::PutF64LE(out, c);
    return out;
}

inline const Bytes kErase{'V', 'K', 0x43, 0x25, 0x01, 0x00, 0x01};
inline const Bytes kFitRead{'F', 'i', 't', 0x00, 'R', 0x00};
inline const Bytes kQtm300Info{0x8C, 0x8C, 0x03, 0x8C, 0x8C, 0x04,
                               0x8C, 0x8C, 0x05, 0x8C, 0x8C, 0x06};

inline Bytes Ask(qtmsim::MeterModel& m, const Bytes& request, double now = 1.0) {
    return m.Handle(request, now).reply;
}

// Several frames back to back, as one write would send them.
inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes F32(float f) {
    Bytes b;
    qtmsim::PutF32LE(b, f);
    return b;
}

inline Bytes I32(std::int32_t v) {
    Bytes b;
    qtmsim::PutU32LE(b, static_cast<std::uint32_t>(v));
    return b;
}

inline float F32At(const Bytes& reply, std::size_t at = 6) {
    return qtmsim::GetF32LE(&reply[at]);
}

inline int U16At(const Bytes& reply, std::size_t at = 6) {
    return reply[at] | (reply[at + 1] << 8);
}

inline float F32BEAt(const Bytes& data, std::size_t at) {
    const std::uint8_t le[4] = {data[at + 3], data[at + 2], data[at + 1], data[at]};
    return qtmsim::GetF32LE(le);
}

inline Bytes ModbusRead(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    Bytes out{address, 0x03};
    qtmsim::PutU16BE(out, reg);
    qtmsim::PutU16BE(out, count);
    qtmsim::AppendCrc(out);
    return out;
}

inline Bytes ModbusWrite(std::uint8_t address, std::uint16_t reg, const Bytes& data) {
    Bytes out{address, 0x10};
    qtmsim::PutU16BE(out, reg);
    qtmsim::PutU16BE(out, static_cast<std::uint16_t>(data.size() / 2));
    out.push_back(static_cast<std::uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    qtmsim::AppendCrc(out);
    return out;
}

inline bool CrcOk(const Bytes& frame) {
    if (frame.size() < 3) return false;
    Bytes body(frame.begin(), frame.end() - 2);
    qtmsim::AppendCrc(body);
    return body == frame;
}

}  // namespace simtest
