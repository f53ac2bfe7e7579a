#include "service/CalibrationOps.h"
#include "service/NumberText.h"

#include <algorithm>
#include <cstring>

#include "device/MeterText.h"
#include "device/ModbusFrame.h"

namespace qtm {

namespace {

constexpr int kAttempts = 10;
constexpr int kPauseMs = 100;
constexpr std::size_t kValueReply = 11;
constexpr float kFullScale = 16777216.0f;  // 2^24, the A/D value's full scale

double RegisterDouble(const std::uint8_t* p) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

Bytes BuildZeroCalibration() {
    return BuildVkWrite(vkc::kZero, Bytes{vkc::kZeroCalibrationValue});
}

Bytes BuildZeroValueRead() {
    return BuildVkRead(vkc::kZero);
}

Bytes BuildCalKWrite(std::int32_t calK) {
    return BuildVkWrite(vkc::kCalK, LeInt32(calK));
}

bool ZeroCalibrate(MeterLink& link, const MeterTarget& target) {
    if (target.Bus()) {
        const std::array<std::uint8_t, 2> data{0x00, 0x01};
        return link.WriteMultipleRegisters(target.address, kZeroCalibrationRegister, 1, 2, data) ==
               1;
    }
    auto sequence = link.LockSequence();
    Bytes reply;
    const int result =
        link.ExchangeFrame(BuildZeroCalibration(), kActionReply, kAttempts, kPauseMs, reply, 0);
    return HeardResult(link, result) == 0;
}

ZeroReadout ReadZeroValue(MeterLink& link, const MeterTarget& target) {
    ZeroReadout out;
    if (target.Bus()) {
        std::array<std::uint8_t, kLiveBlockBytes> block{};
        if (link.ReadLiveBlock(block, target.address) != 1) return out;
        out.block = DecodeLiveBlock(block);
        out.zero = out.block->zero;
        out.ok = true;
        return out;
    }
    auto sequence = link.LockSequence();
    Bytes reply;
    const int result =
        link.ExchangeFrame(BuildZeroValueRead(), kValueReply, kAttempts, kPauseMs, reply, 1);
    // Half a reply would give a zero value the meter never held.
    out.ok = result == 1 && link.LastReplyWhole();
    if (out.ok) out.zero = VkFloat(reply);
    return out;
}

std::optional<float> RangeFromZero(float zero, float cal) {
    if (cal == 0.0f) return std::nullopt;
    return (kFullScale - zero) / cal / 1000.0f;
}

bool WriteCalK(MeterLink& link, std::int32_t calK) {
    auto sequence = link.LockSequence();
    Bytes reply;
    const int result =
        link.ExchangeFrame(BuildCalKWrite(calK), kWriteReply, kAttempts, kPauseMs, reply, 0);
    return HeardResult(link, result) == 0;
}

int SetFitStateUsb(MeterLink& link, std::uint8_t code) {
    auto sequence = link.LockSequence();
    return HeardResult(link, link.SetFitState(code));
}

bool StartFittingOnBus(MeterLink& link, std::uint8_t address) {
    return link.WriteMultipleRegisters(address, kFitStartRegister, 1, 2, kFitStartData) == 1;
}

FitReadout ReadFitDataUsb(MeterLink& link, const FitCoefficients& previous) {
    FitReadout out;
    out.coefficients = previous;
    Bytes data;
    if (link.ReadFitData(data) != 1) return out;
    out.sent = true;
    out.ok = !data.empty();
    out.text = DecodeMeterText(data.data(), data.size());
    const FitTextValues values = ParseFitText(data);
    out.pairs = values.pairs;
    for (std::size_t j = 0; j < kFitCoefficientCount; ++j) {
        if (values.coefficients[j]) out.coefficients[j] = *values.coefficients[j];
    }
    return out;
}

FitReadout ReadFitDataBus(MeterLink& link, std::uint8_t address, const FitCoefficients& previous) {
    FitReadout out;
    out.coefficients = previous;
    out.sent = true;
    auto sequence = link.LockSequence();
    std::array<std::uint8_t, 200> block{};
    if (link.ReadHoldingRegisters(address, kFitAdRegister, 100, block) == 1) {
        out.ok = true;
        for (std::size_t i = 0; i < kFitPairCount; ++i)
            out.pairs[i].ad = RegisterFloat(block.data() + 4 * i);
    }
    if (link.ReadHoldingRegisters(address, kFitTRegister, 100, block) == 1) {
        out.ok = true;
        for (std::size_t i = 0; i < kFitPairCount; ++i)
            out.pairs[i].t = RegisterFloat(block.data() + 4 * i);
    }
    std::array<std::uint8_t, 40> coefficients{};
    if (link.ReadHoldingRegisters(address, kFitCoefficientRegister, 20, coefficients) == 1) {
        out.ok = true;
        for (std::size_t j = 0; j < kFitCoefficientCount; ++j)
            out.coefficients[j] = RegisterDouble(coefficients.data() + 8 * j);
    }
    const std::string text = FormatFitPairsText(out.pairs);
    out.text = DecodeMeterText(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return out;
}

bool WriteFormula(MeterLink& link, const FitCoefficients& c) {
    auto sequence = link.LockSequence();
    return HeardResult(link, link.WriteFormula(c[4], c[3], c[2], c[1], c[0])) == 0;
}

std::string CoefficientsText(const FitCoefficients& c4ToC0) {
    std::string text;
    for (const double c : c4ToC0)
        text += (text.empty() ? "" : " ") + FormatExact(c);
    return text;
}

bool AnyZero(const FitCoefficients& c) {
    return std::any_of(c.begin(), c.end(), [](double v) { return v == 0.0; });
}

}  // namespace qtm
