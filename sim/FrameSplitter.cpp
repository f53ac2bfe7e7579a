#include "sim/FrameSplitter.h"

#include <algorithm>

#include "device/ModbusCrc.h"

namespace qtmsim {

namespace {

constexpr std::uint8_t kRead = 0x42;
constexpr std::uint8_t kWrite = 0x43;
constexpr std::uint8_t kEraseCode = 0x25;
constexpr std::uint8_t kBandCode = 0x23;
constexpr std::uint8_t kRangeCode = 0x24;
constexpr std::size_t kBandFrameSize = 19;
constexpr std::size_t kFormulaFrameSize = 45;

constexpr std::uint8_t kFitRead[] = {'F', 'i', 't', 0x00, 'R', 0x00};
constexpr std::uint8_t kFormulaHead[] = {'F', 'i', 't', '.', 'W'};
constexpr std::uint8_t kInfoRequest[] = {0x8C, 0x8C, 0x03, 0x8C, 0x8C, 0x04,
                                         0x8C, 0x8C, 0x05, 0x8C, 0x8C, 0x06};

// Matches a fixed frame (or, for `whole` longer than the frame, its fixed head)
// against what has arrived so far.
Cut MatchFixed(const std::uint8_t* data, std::size_t size, const std::uint8_t* pattern,
               std::size_t patternSize, std::size_t whole) {
    const std::size_t n = std::min(size, patternSize);
    if (!std::equal(data, data + n, pattern)) return {CutStatus::Invalid, 0};
    if (size < whole) return {CutStatus::NeedMore, 0};
    return {CutStatus::Complete, whole};
}

Cut CutVk(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return {CutStatus::NeedMore, 0};
    if (data[1] != 'K') return {CutStatus::Invalid, 0};
    if (size < 3) return {CutStatus::NeedMore, 0};
    const std::uint8_t cls = data[2];
    if (cls != kRead && cls != kWrite) return {CutStatus::Invalid, 0};
    if (size < 6) return {CutStatus::NeedMore, 0};
    const std::uint8_t code = data[3];
    const std::size_t length = data[4] | (static_cast<std::size_t>(data[5]) << 8);

    // Reads are always 7 bytes; the model and serial-number reads carry 00 01 where
    // the others carry 01 00, and the page read puts the page number in the value byte.
    if (cls == kRead || code == kEraseCode) {
        const bool lengthOk = (data[4] == 0x01 && data[5] == 0x00) ||
                              (cls == kRead && data[4] == 0x00 && data[5] == 0x01);
        if (!lengthOk) return {CutStatus::Invalid, 0};
        if (size < 7) return {CutStatus::NeedMore, 0};
        return {CutStatus::Complete, 7};
    }

    if (length == 0 || length > kMaxVkValueBytes) return {CutStatus::Invalid, 0};
    // The band and range writes announce 14 bytes but carry 12.
    const bool shortBody = (code == kBandCode || code == kRangeCode) && length == 14;
    const std::size_t total = shortBody ? kBandFrameSize : 6 + length + 1;
    if (size < total) return {CutStatus::NeedMore, 0};
    // Writes close with a zero byte; anything else is not a request.
    if (data[total - 1] != 0x00) return {CutStatus::Invalid, 0};
    return {CutStatus::Complete, total};
}

Cut CutFit(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        // "Fit" is shared by both frames; wait for the fourth byte to tell them apart.
        return MatchFixed(data, size, kFitRead, size, size + 1);
    }
    if (data[3] == 0x00) return MatchFixed(data, size, kFitRead, sizeof kFitRead, sizeof kFitRead);
    return MatchFixed(data, size, kFormulaHead, sizeof kFormulaHead, kFormulaFrameSize);
}

Cut CutQtm300(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return {CutStatus::NeedMore, 0};
    if (data[1] == 0x00) return {CutStatus::Complete, 2};
    if (data[1] != 0x8C) return {CutStatus::Invalid, 0};
    if (size < 3) return {CutStatus::NeedMore, 0};
    if (data[2] == 0x01) return {CutStatus::Complete, 3};
    return MatchFixed(data, size, kInfoRequest, sizeof kInfoRequest, sizeof kInfoRequest);
}

bool CrcMatches(const std::uint8_t* frame, std::size_t total) {
    const std::uint16_t crc = qtm::ModbusCrc16(frame, total - 2);
    return frame[total - 2] == (crc & 0xFF) && frame[total - 1] == (crc >> 8);
}

}  // namespace

Cut CutUsbFrame(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {CutStatus::NeedMore, 0};
    switch (data[0]) {
        case 'V':
            return CutVk(data, size);
        case 'F':
            return CutFit(data, size);
        case 0x8C:
            return CutQtm300(data, size);
        default:
            return {CutStatus::Invalid, 0};
    }
}

Cut CutModbusFrame(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return {CutStatus::NeedMore, 0};
    std::size_t total = 0;
    if (data[1] == 0x03) {
        total = 8;
    } else if (data[1] == 0x10) {
        if (size < 7) return {CutStatus::NeedMore, 0};
        total = 9 + static_cast<std::size_t>(data[6]);
    } else {
        return {CutStatus::Invalid, 0};
    }
    if (size < total) return {CutStatus::NeedMore, 0};
    if (!CrcMatches(data, total)) return {CutStatus::Invalid, 0};
    return {CutStatus::Complete, total};
}

}  // namespace qtmsim
