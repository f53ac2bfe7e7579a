// Little helpers that put numbers into reply bytes and take them out of requests,
// in the byte orders the meter uses (little-endian on USB, big-endian in Modbus registers).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qtmsim {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16LE(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU16BE(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

inline void PutU32LE(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutU32BE(Bytes& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutU64LE(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutU64BE(Bytes& out, std::uint64_t v) {
    for (int i = 7; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::uint32_t FloatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline std::uint64_t DoubleBits(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

inline void PutF32LE(Bytes& out, float f) {
    PutU32LE(out, FloatBits(f));
}
inline void PutF32BE(Bytes& out, float f) {
    PutU32BE(out, FloatBits(f));
}
inline void PutF64LE(Bytes& out, double d) {
    PutU64LE(out, DoubleBits(d));
}
inline void PutF64BE(Bytes& out, double d) {
    PutU64BE(out, DoubleBits(d));
}

inline std::uint32_t GetU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t GetU64LE(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(GetU32LE(p)) |
           (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}

inline float GetF32LE(const std::uint8_t* p) {
    const std::uint32_t u = GetU32LE(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

inline double GetF64LE(const std::uint8_t* p) {
    const std::uint64_t u = GetU64LE(p);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// A text in a fixed-width field: cut to the width, then padded with `pad`.
inline void PutField(Bytes& out, const std::string& text, std::size_t width, std::uint8_t pad) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad);
    }
}

// The text of a received field, without the padding the sender filled it up with.
inline std::string TrimField(const std::uint8_t* p, std::size_t width) {
    std::size_t end = 0;
    while (end < width && p[end] != 0)
        ++end;
    while (end > 0 && p[end - 1] == ' ')
        --end;
    return std::string(reinterpret_cast<const char*>(p), end);
}

}  // namespace qtmsim
