#include "service/LiveReadings.h"

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

LiveValues ReadLiveValues(MeterLink& link, const LiveValues& previous,
                          const std::function<bool()>& carryOn) {
    LiveValues values = previous;
    Bytes reply;

    // The power exchange alone decides whether the pass counts: its one attempt must
    // have collected the whole reply.
    bool whole = false;
    if (link.ExchangeFrame(BuildVkRead(kPowerRequest.code), kPowerRequest.replyLength,
                           kPowerRequest.attempts, kPowerRequest.pauseMs, reply, 1, &whole) == 1 &&
        whole) {
        TakeLiveReply(kPowerRequest.code, reply, values);
    }
    values.powerOk = whole;
    values.answered = whole ? 1 : 0;

    for (const LiveRequest& request : kLiveRequests) {
        if (request.code == kPowerRequest.code) continue;
        if (carryOn && !carryOn()) {
            values.powerOk = false;
            return values;
        }
        bool complete = false;
        if (link.ExchangeFrame(BuildVkRead(request.code), request.replyLength, request.attempts,
                               request.pauseMs, reply, 1, &complete) == 1) {
            TakeLiveReply(request.code, reply, values);
        }
        if (complete) ++values.answered;
    }
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
    return DecodeLiveBlock(block);
}

}  // namespace qtm
