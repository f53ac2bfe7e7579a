#include "service/LiveReadings.h"

#include <algorithm>
#include <cmath>

namespace qtm {

void TakeLiveReply(std::uint8_t code, const Bytes& reply, LiveValues& values) {
    switch (code) {
        case kPowerRequest.code:
            values.power = VkFloat(reply);
            break;
        case kEnergyRequest.code:
            values.energy = VkDouble(reply);
            values.energyTimeTenths = VkInt32(reply, kVkDataOffset + 8);
            break;
        case kTemperatureRequest.code:
            values.temperature = VkFloat(reply);
            break;
        case kVoltageRequest.code:
            values.voltage = VkFloat(reply);
            break;
        case kAdRequest.code:
            values.ad = VkFloat(reply);
            break;
        default:
            break;
    }
}

namespace {

bool Finite(const LiveValues& v) {
    return std::isfinite(v.power) && std::isfinite(v.energy) && std::isfinite(v.temperature) &&
           std::isfinite(v.voltage) && std::isfinite(v.ad);
}

}  // namespace

LiveValues ReadLiveValues(MeterLink& link, const LiveValues& previous,
                          const std::function<bool()>& carryOn) {
    LiveValues values = previous;
    Bytes reply;

    // One exchange; true when its whole reply came and starts as a meter's reply does.
    // Anything else is no reply: its value is cleared as a missing reply's is, never
    // taken from noise.
    const auto exchange = [&](const LiveRequest& request) {
        const Bytes frame = BuildVkRead(request.code);
        bool complete = false;
        if (link.ExchangeFrame(frame, request.replyLength, request.attempts, request.pauseMs, reply,
                               1, &complete) != 1)
            return false;
        const bool whole = complete && ReplyMatchesRequest(frame, reply);
        if (!whole && complete) std::fill(reply.begin(), reply.end(), std::uint8_t{0});
        TakeLiveReply(request.code, reply, values);
        return whole;
    };

    // The power exchange decides whether the pass is heard at all: its one attempt must
    // have collected the whole reply. A power reply that is not whole keeps the last power.
    const LiveValues before = values;
    const bool powerWhole = exchange(kPowerRequest);
    if (!powerWhole) values.power = before.power;
    values.answered = powerWhole ? 1 : 0;
    bool energyWhole = false;

    for (const LiveRequest& request : kLiveRequests) {
        if (request.code == kPowerRequest.code) continue;
        if (carryOn && !carryOn()) {
            values.powerOk = false;
            return values;
        }
        const bool whole = exchange(request);
        if (whole) ++values.answered;
        if (request.code == kEnergyRequest.code) energyWhole = whole;
    }
    // A reading is power, energy and time as the meter sent them: all whole, all finite.
    values.powerOk = powerWhole && energyWhole && Finite(values);
    return values;
}

BusLiveValues DecodeLiveBlock(const std::array<std::uint8_t, kLiveBlockBytes>& block) {
    BusLiveValues values;
    const std::uint8_t* p = block.data();
    values.zero = RegisterFloat(p + 0);
    values.cal = RegisterFloat(p + 4);
    values.calK = RegisterFloat(p + 8);
    values.k = RegisterFloat(p + 12);
    values.power = RegisterFloat(p + 16);
    values.ad = RegisterFloat(p + 20);
    values.voltage = RegisterFloat(p + 24);
    values.temperature = RegisterFloat(p + 28);
    return values;
}

std::optional<BusLiveValues> ReadBusLiveValues(MeterLink& link, std::uint8_t address) {
    std::array<std::uint8_t, kLiveBlockBytes> block{};
    if (link.ReadLiveBlock(block, address) != 1) return std::nullopt;
    const BusLiveValues values = DecodeLiveBlock(block);
    // The CRC says the block arrived as sent; values that are no numbers are still no
    // readings of a working meter.
    for (const float v : {values.zero, values.cal, values.calK, values.k, values.power, values.ad,
                          values.voltage, values.temperature}) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    return values;
}

}  // namespace qtm
