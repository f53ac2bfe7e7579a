#include "service/LiveReadings.h"

#include <chrono>
#include <thread>

#include "device/Serial.h"

namespace qtm {
namespace {

// The power exchange decides whether a pass counts, so unlike the other live requests
// it must know whether its one attempt collected the whole reply. ExchangeFrame does
// not say, so this runs the same steps (close a leftover handle, open, write whole,
// await, close) on a port of its own while holding the link, and reports it.
int ExchangeWhole(MeterLink& link, const LiveRequest& request, Bytes& reply, bool& whole) {
    auto sequence = link.LockSequence();
    link.CloseUsbPort();
    reply.assign(request.replyLength, 0);
    whole = false;

    Serial port;
    if (!port.OpenPort(link.PortName(), MeterLink::kUsbBaudRate)) return -1;
    const Bytes frame = BuildVkRead(request.code);
    if (!port.WriteBytes(frame.data(), frame.size())) {
        port.ClosePort();
        return -1;
    }
    for (int attempt = 0; attempt < request.attempts && !whole; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(request.pauseMs));
        std::size_t got = 0;
        while (got < reply.size()) {
            const long n = port.ReadBytes(reply.data() + got, reply.size() - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        whole = got == reply.size();
    }
    port.ClosePort();
    return 1;
}

}  // namespace

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

LiveValues ReadLiveValues(MeterLink& link, const LiveValues& previous) {
    LiveValues values = previous;
    Bytes reply;

    bool whole = false;
    if (ExchangeWhole(link, kPowerRequest, reply, whole) == 1 && whole) {
        TakeLiveReply(kPowerRequest.code, reply, values);
    }
    values.powerOk = whole;

    for (const LiveRequest& request : kLiveRequests) {
        if (request.code == kPowerRequest.code) continue;
        if (link.ExchangeFrame(BuildVkRead(request.code), request.replyLength, request.attempts,
                               request.pauseMs, reply) == 1) {
            TakeLiveReply(request.code, reply, values);
        }
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
