#include "sim/MeterModel.h"

#include "sim/FrameSplitter.h"
#include "sim/MeterPhysics.h"
#include "sim/ModbusRegisters.h"
#include "sim/UsbCommands.h"

namespace qtmsim {

namespace {

// Turns every byte into another, deterministically, so a garbled reply never
// happens to match what the program compares.
constexpr std::uint8_t kGarbageMask = 0xA5;

// Most records a meter can be told to hold: as many as a 16-bit page count covers.
constexpr int kMaxConfiguredRecords = 0xFFFF * kRecordsPerPage;

}  // namespace

MeterModel::MeterModel(MeterConfig config) : m_config(std::move(config)), m_fault(m_config.fault) {
    m_state.model = m_config.model;
    m_state.serial = m_config.serial;
    m_state.band = m_config.band;
    m_state.range = m_config.range;
    m_state.calValue = m_config.calValue;
    m_state.k = m_config.k;
    m_state.saveGap = m_config.saveGap;
    m_state.address = m_config.address;
    m_state.level = m_config.level > 0 ? m_config.level : DefaultLevel(m_config.model);
    const int records = m_config.records < 0                       ? 0
                        : m_config.records > kMaxConfiguredRecords ? kMaxConfiguredRecords
                                                                   : m_config.records;
    m_state.records = InitialRecords(m_state.level, records);
    m_state.fitPoints = InitialFitPoints();
    // The formula of that earlier run, fitted as the meter would have done.
    m_state.fitting = true;
    m_state.fitCollected = kFitPoints;
    EndFitting(m_state);
}

std::vector<Exchange> MeterModel::Feed(const std::uint8_t* data, std::size_t size,
                                       double nowSeconds) {
    std::vector<Exchange> out;
    if (size == 0) return out;
    // The program purges and reopens the port between commands; a fragment left
    // from before must not swallow the next request.
    if (!m_pending.empty() && nowSeconds - m_lastByteAt > kStaleFrameSeconds) m_pending.clear();
    m_pending.insert(m_pending.end(), data, data + size);
    m_lastByteAt = nowSeconds;

    std::size_t at = 0;
    while (at < m_pending.size()) {
        const std::uint8_t* p = m_pending.data() + at;
        const std::size_t left = m_pending.size() - at;
        const Cut cut = m_config.rs485 ? CutModbusFrame(p, left) : CutUsbFrame(p, left);
        if (cut.status == CutStatus::NeedMore) break;
        if (cut.status == CutStatus::Invalid) {
            ++at;
            continue;
        }
        out.push_back(Handle(std::vector<std::uint8_t>(p, p + cut.length), nowSeconds));
        at += cut.length;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(at));
    return out;
}

Exchange MeterModel::Handle(const std::vector<std::uint8_t>& frame, double nowSeconds) {
    Exchange e;
    e.request = {frame, nowSeconds};
    if (m_fault == Fault::Silent) return e;
    if (m_fault == Fault::HangUp) {
        e.hangUp = true;
        return e;
    }
    std::vector<std::uint8_t> reply =
        m_config.rs485 ? HandleModbusFrame(m_state, frame, nowSeconds)
                       : HandleUsbFrame(m_state, m_config.family, frame, nowSeconds);
    e.reply = ApplyFault(std::move(reply));
    return e;
}

std::vector<std::uint8_t> MeterModel::ApplyFault(std::vector<std::uint8_t> reply) const {
    if (reply.empty()) return reply;
    switch (m_fault) {
        case Fault::Short:
            reply.resize(reply.size() / 2);
            break;
        case Fault::Garbage:
            for (auto& b : reply)
                b ^= kGarbageMask;
            break;
        case Fault::BadCrc:
            if (m_config.rs485 && reply.size() >= 2) reply[reply.size() - 2] ^= 0xFF;
            break;
        default:
            break;
    }
    return reply;
}

}  // namespace qtmsim
