// The USB command set of MeterLink: identity, settings and fitting reads and writes.
#include <algorithm>
#include <chrono>
#include <thread>

#include "device/MeterLink.h"
#include "device/MeterText.h"
#include "device/Pause.h"

namespace qtm {

namespace {

constexpr int kAttempts = 10;
constexpr int kPauseMs = 100;
constexpr std::size_t kValueReplyBytes = 11;  // 6 header, 4 value, 1 trailing byte
constexpr std::size_t kWriteReplyBytes = 8;
constexpr int kReadOk = 1;
constexpr int kWriteOk = 0;

// Counted texts: the header's length byte beyond this is taken as kBodyCap.
constexpr int kBodyLimit = 15;
constexpr int kBodyCap = 14;
constexpr int kBodyAttempts = 100;
constexpr int kBodyPauseMs = 10;

constexpr int kFitRounds = 51;
constexpr std::size_t kFitChunk = 100;
constexpr int kFitStartPauseMs = 10;
constexpr int kFitRoundPauseMs = 2;

}  // namespace

int MeterLink::ReadSerialNumber() {
    std::lock_guard lock(m_mutex);
    Bytes reply;
    if (GetDeviceType() == DeviceType::Qtm300) {
        // This family has no serial-number read; the information request stands in and
        // its reply is not used here. The result is still that of the exchange, so a
        // port that does not open is reported as such.
        return ExchangeLocked(BuildQtm300InfoRequest(), kInfoBlockBytes, kAttempts, kPauseMs, reply,
                              kReadOk);
    }
    const int result = ExchangeLocked(BuildVkIdentityRead(vk::kSerialNumber), 16, kAttempts,
                                      kPauseMs, reply, kReadOk);
    if (result == kReadOk) {
        std::string text = DecodeMeterText(reply.data() + kVkDataOffset, 10);
        std::string bytes = TrimMeterField(reply.data() + kVkDataOffset, 10);
        std::lock_guard state(m_stateMutex);
        m_strSN = std::move(text);
        m_strSNBytes = std::move(bytes);
    }
    return result;
}

std::string MeterLink::SerialNumberBytes() const {
    std::lock_guard state(m_stateMutex);
    return m_strSNBytes;
}

std::string MeterLink::BandBytes() const {
    std::lock_guard state(m_stateMutex);
    return m_strBandBytes;
}

std::string MeterLink::RangeBytes() const {
    std::lock_guard state(m_stateMutex);
    return m_strRangeBytes;
}

int MeterLink::ReadCountedText(std::uint8_t code, int headerAttempts, int headerPauseMs,
                               int bodyAdjust, std::string& target, std::string& targetBytes) {
    std::lock_guard lock(m_mutex);
    m_bLastReplyHeard = false;
    m_bLastReplyWhole = false;
    if (!OpenAndWrite(BuildVkRead(code))) return -1;
    std::uint8_t header[kVkDataOffset] = {};
    std::size_t headerGot = 0;
    const bool headerWhole =
        AwaitReply(header, sizeof header, headerAttempts, headerPauseMs, &headerGot);
    int length = header[4];
    if (length > kBodyLimit) length = kBodyCap;
    const int bodyCount = length + bodyAdjust;
    // Never more than 15 bytes are asked for, whatever the header said.
    std::uint8_t body[64] = {};
    bool bodyWhole = bodyCount >= 0;
    if (bodyCount > 0)
        bodyWhole =
            AwaitReply(body, static_cast<std::size_t>(bodyCount), kBodyAttempts, kBodyPauseMs);
    m_serial.ClosePort();
    m_bLastReplyHeard = headerGot > 0;
    m_bLastReplyWhole = headerWhole && header[0] == 'V' && header[1] == 'K' && bodyWhole;
    const std::size_t count = bodyCount > 0 ? static_cast<std::size_t>(bodyCount) : 0;
    std::string text = DecodeMeterText(body, count);
    std::string bytes = TrimMeterField(body, count);
    std::lock_guard state(m_stateMutex);
    target = std::move(text);
    targetBytes = std::move(bytes);
    return kReadOk;
}

int MeterLink::ReadBand() {
    return ReadCountedText(vk::kBand, kAttempts, kPauseMs, 0, m_strBand, m_strBandBytes);
}

int MeterLink::ReadRange() {
    // The range reply's count includes one byte that is not part of the text.
    return ReadCountedText(vk::kRange, 100, 10, -1, m_strRange, m_strRangeBytes);
}

int MeterLink::ReadFourBytes(std::uint8_t code, Bytes& reply) {
    return ExchangeFrame(BuildVkRead(code), kValueReplyBytes, kAttempts, kPauseMs, reply, kReadOk);
}

int MeterLink::ReadCalValue(float& value) {
    Bytes reply;
    const int result = ReadFourBytes(vk::kCalValue, reply);
    if (result == kReadOk) value = VkFloat(reply);
    return result;
}

int MeterLink::ReadSaveGap(std::int32_t& seconds) {
    Bytes reply;
    const int result = ReadFourBytes(vk::kSaveGap, reply);
    if (result == kReadOk) seconds = VkInt32(reply);
    return result;
}

int MeterLink::ReadCoefficientK(float& value) {
    Bytes reply;
    const int result = ReadFourBytes(vk::kCoefficientK, reply);
    if (result == kReadOk) value = VkFloat(reply);
    return result;
}

int MeterLink::ReadMemoryUsage(MemoryUsage& usage, bool* complete) {
    Bytes reply;
    const int result = ExchangeFrame(BuildVkRead(vk::kMemoryUsage), 12, kAttempts, kPauseMs, reply,
                                     kReadOk, complete);
    if (result == kReadOk)
        std::copy_n(reply.begin() + kVkDataOffset, usage.bytes.size(), usage.bytes.begin());
    return result;
}

int MeterLink::ReadFitData(Bytes& data) {
    std::lock_guard lock(m_mutex);
    m_bLastReplyHeard = false;
    m_bLastReplyWhole = false;
    if (!OpenAndWrite(BuildFitDataRequest())) return -1;
    SleepMs(kFitStartPauseMs);
    data.clear();
    data.reserve(kFitDataCapacity);
    // 51 rounds of at most 100 bytes: the stream can never outgrow 5100 bytes, however
    // long the meter keeps sending.
    for (int round = 0; round < kFitRounds; ++round) {
        SleepMs(kFitRoundPauseMs);
        std::uint8_t chunk[kFitChunk] = {};
        std::size_t got = 0;
        bool ended = false;
        while (got < kFitChunk) {
            const long n = m_serial.ReadBytes(chunk + got, kFitChunk - got);
            if (n <= 0) {
                ended = true;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        data.insert(data.end(), chunk, chunk + got);
        if (ended) break;
    }
    m_serial.ClosePort();
    m_bLastReplyHeard = !data.empty();
    m_bLastReplyWhole = !data.empty();
    m_nFitDataCount.store(static_cast<int>(data.size()));
    return kReadOk;
}

int MeterLink::ReadInfoBlock(std::array<std::uint8_t, kInfoBlockBytes>& block) {
    Bytes reply;
    const int result = ExchangeFrame(BuildQtm300InfoRequest(), kInfoBlockBytes, kAttempts, kPauseMs,
                                     reply, kReadOk);
    if (result != kReadOk) return result;
    // The block is shown as one text; zero bytes inside it would cut it short.
    std::replace(reply.begin(), reply.end(), std::uint8_t{0}, std::uint8_t{' '});
    std::copy_n(reply.begin(), block.size(), block.begin());
    return result;
}

int MeterLink::WriteText(std::uint8_t code, std::uint16_t lengthField, std::string_view bytes,
                         std::size_t width) {
    Bytes reply;
    return ExchangeFrame(BuildVkWrite(code, lengthField, FixedWidthText(bytes, width)),
                         kWriteReplyBytes, kAttempts, kPauseMs, reply, kWriteOk);
}

int MeterLink::WriteModel(std::string_view text) {
    return WriteText(vk::kModel, 10, text, 10);
}

int MeterLink::WriteSerialNumber(std::string_view text) {
    return WriteText(vk::kSerialNumber, 10, text, 10);
}

// The meter expects the length field 14 in front of the 12 text bytes of these two.
int MeterLink::WriteBand(std::string_view text) {
    return WriteText(vk::kBand, 14, text, 12);
}

int MeterLink::WriteRange(std::string_view text) {
    return WriteText(vk::kRange, 14, text, 12);
}

int MeterLink::SetFitState(std::uint8_t code) {
    Bytes reply;
    return ExchangeFrame(BuildVkWrite(vk::kFitState, Bytes{code}), 7, kAttempts, kPauseMs, reply,
                         kWriteOk);
}

int MeterLink::WriteFormula(double c0, double c1, double c2, double c3, double c4) {
    Bytes reply;
    return ExchangeFrame(BuildPolynomialWrite(c0, c1, c2, c3, c4), kWriteReplyBytes, kAttempts,
                         kPauseMs, reply, kWriteOk);
}

}  // namespace qtm
