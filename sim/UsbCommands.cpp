#include "sim/UsbCommands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "device/CNumberFormat.h"
#include "sim/MeterPhysics.h"

namespace qtmsim {

namespace {

constexpr std::uint8_t kRead = 0x42;
constexpr std::uint8_t kWrite = 0x43;
constexpr std::uint8_t kAccepted = 0x01;
constexpr std::uint8_t kRejected = 0x00;
constexpr std::size_t kModelField = 10;
constexpr std::size_t kBandField = 12;
constexpr std::uint8_t kZeroCalibrationByte = 0xF1;
constexpr std::uint8_t kFitStartCode = 0x30;
constexpr std::uint8_t kFitEndCode = 0x31;

// "VK", class, code, data count, 0, the data, then zero padding up to `total` with a
// sum check as the last byte when there is room for one. The program reads exactly
// `total` bytes, so the reply is cut or filled to that length.
Bytes VkReply(std::uint8_t cls, std::uint8_t code, const Bytes& data, std::size_t total,
              std::uint8_t declaredCount) {
    Bytes out;
    out.reserve(std::max(total, 6 + data.size()));
    for (std::uint8_t b :
         {std::uint8_t{'V'}, std::uint8_t{'K'}, cls, code, declaredCount, std::uint8_t{0}}) {
        out.push_back(b);
    }
    for (std::uint8_t b : data)
        out.push_back(b);
    if (out.size() >= total) {
        out.resize(total);
        return out;
    }
    out.resize(total - 1, 0x00);
    std::uint8_t sum = 0;
    for (std::uint8_t b : out)
        sum = static_cast<std::uint8_t>(sum + b);
    out.push_back(sum);
    return out;
}

Bytes VkReply(std::uint8_t cls, std::uint8_t code, const Bytes& data, std::size_t total) {
    return VkReply(cls, code, data, total, static_cast<std::uint8_t>(data.size()));
}

Bytes Status(std::uint8_t code, bool accepted, std::size_t total) {
    return VkReply(kWrite, code, Bytes{accepted ? kAccepted : kRejected}, total);
}

Bytes FloatData(float f) {
    Bytes d;
    PutF32LE(d, f);
    return d;
}

Bytes ReadPage(MeterState& state, std::uint8_t lowByte) {
    // The request carries only the low 8 bits of the page number. Of the pages with
    // those low bits, take the one that follows the last page read, so a download
    // that goes page by page past page 255 gets every page in turn.
    const int pages =
        static_cast<int>((state.records.size() + kRecordsPerPage - 1) / kRecordsPerPage);
    const int wanted = state.lastPageRead + 1;
    int page = lowByte;
    for (int candidate = lowByte; candidate < pages; candidate += 256) {
        if (std::abs(candidate - wanted) < std::abs(page - wanted)) page = candidate;
    }
    state.lastPageRead = page;

    Bytes data;
    int valid = 0;
    for (int r = 0; r < kRecordsPerPage; ++r) {
        const std::size_t index = static_cast<std::size_t>(page) * kRecordsPerPage + r;
        const bool stored = index < state.records.size();
        if (stored) ++valid;
        PutF32LE(data, stored ? state.records[index] : 0.0f);
    }
    // Not read by the program: the page number and how many of its slots hold readings.
    PutU16LE(data, static_cast<std::uint16_t>(page));
    data.push_back(static_cast<std::uint8_t>(valid));
    return VkReply(kRead, 0x20, data, kPageReplySize, 60);
}

Bytes HandleRead(MeterState& state, Family family, std::uint8_t code, const Bytes& frame,
                 double now) {
    const LiveValues live = ValuesAt(state, now);
    Bytes data;
    switch (code) {
        case 0x01:
            // A "QTM300" meter identifies itself only to its own frame.
            if (family == Family::Qtm300) return {};
            PutField(data, state.model, kModelField, ' ');
            return VkReply(kRead, code, data, kIdentReplySize);
        case 0x02:
            PutField(data, state.serial, kModelField, ' ');
            return VkReply(kRead, code, data, kIdentReplySize);
        case 0x23: {
            const std::string band = state.band.substr(0, kBandField);
            PutField(data, band, band.size(), ' ');
            return VkReply(kRead, code, data, 6 + band.size());
        }
        case 0x24: {
            // The range reply counts one byte more than it sends, and the program
            // reads one byte less than the count: both sides agree on the text.
            const std::string range = state.range.substr(0, kBandField);
            PutField(data, range, range.size(), ' ');
            return VkReply(kRead, code, data, 6 + range.size(),
                           static_cast<std::uint8_t>(range.size() + 1));
        }
        case 0x0F:
            return VkReply(kRead, code, FloatData(state.calValue), kValueReplySize);
        case 0x10:
            return VkReply(kRead, code, FloatData(state.k), kValueReplySize);
        case 0x22:
            PutU32LE(data, static_cast<std::uint32_t>(state.saveGap));
            return VkReply(kRead, code, data, kValueReplySize);
        case 0x07:
            return VkReply(kRead, code, FloatData(state.zeroValue), kValueReplySize);
        case 0x0D:
            return VkReply(kRead, code, FloatData(live.power), kValueReplySize);
        case 0x25:
            return VkReply(kRead, code, FloatData(live.temperature), kValueReplySize);
        case 0x26:
            return VkReply(kRead, code, FloatData(live.voltage), kValueReplySize);
        case 0x27:
            return VkReply(kRead, code, FloatData(live.ad), kValueReplySize);
        case 0x21: {
            PutF64LE(data, state.energy);
            PutU32LE(data, static_cast<std::uint32_t>(
                               static_cast<std::int32_t>(state.accumulatedSeconds * 10.0)));
            return VkReply(kRead, code, data, kEnergyReplySize);
        }
        case 0x1F: {
            const std::size_t count = state.records.size();
            const std::size_t pages = (count + kRecordsPerPage - 1) / kRecordsPerPage;
            PutU16LE(data, static_cast<std::uint16_t>(std::min<std::size_t>(pages, 0xFFFF)));
            PutU16LE(data, static_cast<std::uint16_t>(std::min<std::size_t>(count, 0xFFFF)));
            data.push_back(static_cast<std::uint8_t>(
                std::min<std::size_t>(count * 100 / kRecordCapacity, 100)));
            return VkReply(kRead, code, data, kMemoryReplySize);
        }
        case 0x20:
            return ReadPage(state, frame[6]);
        default:
            return {};  // unknown request: the meter stays quiet
    }
}

Bytes HandleWrite(MeterState& state, std::uint8_t code, const Bytes& frame, double now) {
    // Value bytes sit between the 6-byte head and the closing zero (the erase request
    // has no closing zero, and its one value byte is not used).
    const std::uint8_t* value = frame.data() + 6;
    const std::size_t valueSize = frame.size() - 7;
    switch (code) {
        case 0x01:
            state.model = TrimField(value, valueSize);
            return Status(code, true, kWriteReplySize);
        case 0x02:
            state.serial = TrimField(value, valueSize);
            return Status(code, true, kWriteReplySize);
        case 0x23:
            state.band = TrimField(value, std::min(valueSize, kBandField));
            return Status(code, true, kWriteReplySize);
        case 0x24:
            state.range = TrimField(value, std::min(valueSize, kBandField));
            return Status(code, true, kWriteReplySize);
        case 0x0F: {
            const bool ok = valueSize == 4 && std::isfinite(GetF32LE(value));
            if (ok) state.k = GetF32LE(value);
            return Status(code, ok, kWriteReplySize);
        }
        case 0x22: {
            const auto gap = valueSize == 4 ? static_cast<std::int32_t>(GetU32LE(value)) : 0;
            const bool ok = gap >= 1;
            if (ok) {
                AdvanceTo(state, now);
                state.saveGap = gap;
                state.nextRecordAt = now + gap;
            }
            return Status(code, ok, kWriteReplySize);
        }
        case 0x43: {
            const bool ok = valueSize == 4;
            if (ok) state.calK = static_cast<float>(static_cast<std::int32_t>(GetU32LE(value)));
            return Status(code, ok, kWriteReplySize);
        }
        case 0x21: {
            const bool ok = valueSize == 1 && SetEnergyState(state, value[0], now);
            return Status(code, ok, kActionReplySize);
        }
        case 0x25:
            state.records.clear();
            state.lastPageRead = -1;
            return Status(code, true, kActionReplySize);
        case 0x07: {
            bool ok = false;
            if (valueSize == 1 && value[0] == kZeroCalibrationByte) {
                state.zeroValue = DarkLevelAt(now);
                ok = true;
            } else if (valueSize == 4 && std::isfinite(GetF32LE(value))) {
                state.calValue = GetF32LE(value);
                ok = true;
            }
            return Status(code, ok, kActionReplySize);
        }
        case 0x46: {
            const bool ok =
                valueSize == 1 && (value[0] == kFitStartCode || value[0] == kFitEndCode);
            if (ok && value[0] == kFitStartCode) StartFitting(state, now);
            if (ok && value[0] == kFitEndCode) EndFitting(state);
            return Status(code, ok, kActionReplySize);
        }
        default:
            return {};
    }
}

Bytes HandleFormula(MeterState& state, const Bytes& frame) {
    std::array<double, 5> c{};
    bool finite = true;
    for (std::size_t i = 0; i < c.size(); ++i) {
        c[i] = GetF64LE(frame.data() + 5 + 8 * i);
        finite = finite && std::isfinite(c[i]);
    }
    if (finite) state.coefficients = c;
    return Status('W', finite, kWriteReplySize);
}

Bytes HandleQtm300(MeterState& state, const Bytes& frame) {
    if (frame.size() == 2) {
        Bytes out{0x8C, 0x00};
        PutField(out, state.model, kModelField, ' ');
        out.resize(kIdentReplySize, 0x00);
        return out;
    }
    if (frame.size() == 3) {
        state.usbDiskMode = true;
        return {};
    }
    return InfoBlock(state);
}

}  // namespace

std::string FitDataText(const MeterState& state) {
    std::string text;
    char line[160];
    for (int i = 0; i < kFitPoints; ++i) {
        const FitPoint& p = state.fitPoints[static_cast<std::size_t>(i)];
        // The degree sign is the GBK "℃" (A1 E6), as the meter's firmware writes it.
        qtm::SnprintfC(line, sizeof line, "<%02d> T:%f\xA1\xE6;AD:%f\r\n", i + 1,
                       static_cast<double>(p.temperature), static_cast<double>(p.ad));
        text += line;
    }
    const auto& c = state.coefficients;
    // %.9g keeps small coefficients readable instead of rounding them to zero.
    qtm::SnprintfC(line, sizeof line, "Y=(%.9g)x4+(%.9g)x3+(%.9g)x2+(%.9g)x+ %.9g\r\n", c[4], c[3],
                   c[2], c[1], c[0]);
    text += line;
    return text;
}

Bytes InfoBlock(const MeterState& state) {
    char text[256];
    qtm::SnprintfC(text, sizeof text, "Model:%s;SN:%s;Band:%s;Range:%s;Cal:%.3f;K:%.3f;Gap:%d",
                   state.model.c_str(), state.serial.c_str(), state.band.c_str(),
                   state.range.c_str(), static_cast<double>(state.calValue),
                   static_cast<double>(state.k), static_cast<int>(state.saveGap));
    Bytes out;
    PutField(out, text, kInfoBlockSize, 0x00);
    return out;
}

Bytes HandleUsbFrame(MeterState& state, Family family, const Bytes& frame, double now) {
    AdvanceTo(state, now);
    if (frame.empty()) return {};
    if (frame[0] == 0x8C) {
        if (family != Family::Qtm300) return {};
        return HandleQtm300(state, frame);
    }
    if (frame[0] == 'F') {
        if (frame.size() == 6) {
            const std::string text = FitDataText(state);
            return Bytes(text.begin(), text.end());
        }
        return HandleFormula(state, frame);
    }
    if (frame.size() < 7) return {};
    if (frame[2] == kRead) return HandleRead(state, family, frame[3], frame, now);
    return HandleWrite(state, frame[3], frame, now);
}

}  // namespace qtmsim
