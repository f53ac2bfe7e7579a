#include "sim/ModbusRegisters.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "device/ModbusCrc.h"
#include "sim/MeterPhysics.h"

namespace qtmsim {

namespace {

constexpr std::uint8_t kReadFunction = 0x03;
constexpr std::uint8_t kWriteFunction = 0x10;
constexpr std::uint8_t kIllegalAddress = 0x02;
constexpr std::uint8_t kIllegalValue = 0x03;
constexpr std::uint16_t kMaxReadCount = 125;
constexpr std::uint16_t kMaxWriteCount = 123;

// One stretch of registers and the bytes it holds, two per register, high byte first.
struct Block {
    std::uint16_t start;
    Bytes bytes;
};

std::uint32_t SerialNumberValue(const std::string& serial) {
    // The register holds the serial number as a number: its leading digits.
    const unsigned long long v = std::strtoull(serial.c_str(), nullptr, 10);
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

std::vector<Block> RegisterBlocks(const MeterState& state, double now) {
    std::vector<Block> blocks;
    const LiveValues live = ValuesAt(state, now);

    Block liveBlock{kLiveBlockRegister, {}};
    for (float f : {state.zeroValue, state.calValue, state.calK, state.k, live.power, live.ad,
                    live.voltage, live.temperature, static_cast<float>(state.energy)}) {
        PutF32BE(liveBlock.bytes, f);
    }
    blocks.push_back(std::move(liveBlock));

    Block serial{0xFC79, {}};
    PutU32BE(serial.bytes, SerialNumberValue(state.serial));
    blocks.push_back(std::move(serial));

    Block model{0xFC00, {}};
    PutField(model.bytes, state.model, 12, 0x00);
    blocks.push_back(std::move(model));

    Block ad{0xC000, {}};
    Block temperature{0xC100, {}};
    for (const FitPoint& p : state.fitPoints) {
        PutF32BE(ad.bytes, p.ad);
        PutF32BE(temperature.bytes, p.temperature);
    }
    blocks.push_back(std::move(ad));
    blocks.push_back(std::move(temperature));

    Block coefficients{0xC200, {}};
    for (int i = 4; i >= 0; --i) {
        PutF64BE(coefficients.bytes, state.coefficients[static_cast<std::size_t>(i)]);
    }
    blocks.push_back(std::move(coefficients));
    return blocks;
}

std::optional<std::uint16_t> RegisterValue(const std::vector<Block>& blocks, std::uint32_t reg) {
    for (const Block& b : blocks) {
        const std::uint32_t count = static_cast<std::uint32_t>(b.bytes.size() / 2);
        if (reg >= b.start && reg < b.start + count) {
            const std::size_t at = (reg - b.start) * 2;
            return static_cast<std::uint16_t>((b.bytes[at] << 8) | b.bytes[at + 1]);
        }
    }
    return std::nullopt;
}

Bytes Exception(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
    Bytes out{address, static_cast<std::uint8_t>(function | 0x80), code};
    AppendCrc(out);
    return out;
}

Bytes HandleRead(const MeterState& state, const Bytes& frame, double now) {
    const std::uint8_t address = frame[0];
    const std::uint16_t start = static_cast<std::uint16_t>((frame[2] << 8) | frame[3]);
    const std::uint16_t count = static_cast<std::uint16_t>((frame[4] << 8) | frame[5]);
    if (count == 0 || count > kMaxReadCount)
        return Exception(address, kReadFunction, kIllegalValue);

    const std::vector<Block> blocks = RegisterBlocks(state, now);
    Bytes out{address, kReadFunction, static_cast<std::uint8_t>(count * 2)};
    for (std::uint32_t reg = start; reg < static_cast<std::uint32_t>(start) + count; ++reg) {
        const auto value = RegisterValue(blocks, reg);
        if (!value) return Exception(address, kReadFunction, kIllegalAddress);
        PutU16BE(out, *value);
    }
    AppendCrc(out);
    return out;
}

// Carries out a register write; returns 0 on success or the exception code.
std::uint8_t ApplyWrite(MeterState& state, std::uint16_t start, std::uint16_t count,
                        const std::uint8_t* data, double now) {
    switch (start) {
        case 0xE012:  // start a zero calibration
            if (count != 1 || data[0] != 0x00 || data[1] != 0x01) return kIllegalValue;
            state.zeroValue = DarkLevelAt(now);
            return 0;
        case 0xE00E:  // coefficient K, the float's bytes in little-endian order
            if (count != 2 || !std::isfinite(GetF32LE(data))) return kIllegalValue;
            state.k = GetF32LE(data);
            return 0;
        case 0xE010:  // calibration value (two registers) or start fitting (one)
            if (count == 2 && std::isfinite(GetF32LE(data))) {
                state.calValue = GetF32LE(data);
                return 0;
            }
            if (count == 1 && data[0] == 0xF5 && data[1] == 0x4A) {
                StartFitting(state, now);
                return 0;
            }
            return kIllegalValue;
        case 0xFCC6:  // bus address: the marker byte 0xC6, then the new address
            if (count != 1 || data[0] != 0xC6 || data[1] < 1 || data[1] > 247) {
                return kIllegalValue;
            }
            state.address = data[1];
            return 0;
        default:
            return kIllegalAddress;
    }
}

Bytes HandleWrite(MeterState& state, const Bytes& frame, double now) {
    const std::uint8_t address = frame[0];
    const std::uint16_t start = static_cast<std::uint16_t>((frame[2] << 8) | frame[3]);
    const std::uint16_t count = static_cast<std::uint16_t>((frame[4] << 8) | frame[5]);
    const std::uint8_t byteCount = frame[6];
    std::uint8_t error = 0;
    if (count == 0 || count > kMaxWriteCount || byteCount != count * 2) {
        error = kIllegalValue;
    } else {
        error = ApplyWrite(state, start, count, frame.data() + 7, now);
    }
    if (address == 0) return {};  // broadcasts are never answered
    if (error != 0) return Exception(address, kWriteFunction, error);
    // The reply goes out from the address the request was sent to, even when the
    // request moved the meter to a new one.
    Bytes out(frame.begin(), frame.begin() + 6);
    AppendCrc(out);
    return out;
}

}  // namespace

void AppendCrc(Bytes& frame) {
    const std::uint16_t crc = qtm::ModbusCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

Bytes HandleModbusFrame(MeterState& state, const Bytes& frame, double now) {
    AdvanceTo(state, now);
    if (frame.size() < 8) return {};
    const std::uint8_t address = frame[0];
    if (address != state.address && address != 0) return {};
    if (frame[1] == kReadFunction) {
        if (address == 0) return {};  // a read cannot be broadcast
        return HandleRead(state, frame, now);
    }
    if (frame[1] == kWriteFunction) return HandleWrite(state, frame, now);
    return {};
}

}  // namespace qtmsim
