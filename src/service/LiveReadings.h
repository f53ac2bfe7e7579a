// One pass of the live measurement on either link: the USB requests and their pacing,
// the RS-485 live block, and the pure decoders that turn reply bytes into values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "device/MeterLink.h"
#include "device/ModbusFrame.h"

namespace qtm {

// One USB live request: "VK" 42 code 01 00 01, then replyLength bytes awaited in
// attempts tries, each after pauseMs.
struct LiveRequest {
    std::uint8_t code;
    std::size_t replyLength;
    int attempts;
    int pauseMs;
};

inline constexpr LiveRequest kPowerRequest{0x0D, 11, 1, 10};
inline constexpr LiveRequest kEnergyRequest{0x21, 19, 10, 100};
inline constexpr LiveRequest kTemperatureRequest{0x25, 11, 10, 100};
inline constexpr LiveRequest kVoltageRequest{0x26, 11, 10, 100};
inline constexpr LiveRequest kAdRequest{0x27, 11, 10, 100};
// In the order a pass sends them.
inline constexpr std::array<LiveRequest, 5> kLiveRequests{
    kPowerRequest, kEnergyRequest, kTemperatureRequest, kVoltageRequest, kAdRequest};

// The values of one USB pass.
struct LiveValues {
    float power = 0;
    double energy = 0;
    std::int32_t energyTimeTenths = 0;  // accumulation time in tenths of a second
    float temperature = 0;
    float voltage = 0;
    float ad = 0;
    // The pass gave a reading: the power and energy replies came whole and every value
    // is finite. Only then are power, energy and time a record.
    bool powerOk = false;
    int answered = 0;  // requests of this pass whose whole reply arrived (0 to 5)

    // The accumulation time in seconds, in single precision as the list shows it.
    float EnergySeconds() const { return static_cast<float>(energyTimeTenths) / 10.0f; }
};

// Takes the value(s) of a reply to one live request into values. The reply is the
// awaited length, zero where nothing arrived; an unknown code changes nothing.
void TakeLiveReply(std::uint8_t code, const Bytes& reply, LiveValues& values);

// One USB pass: the five requests in order (no storage read). Starts from previous, so a
// value whose request could not be sent (port gone) keeps its last reading; a request
// that went out but got a short or no reply gives zeros where bytes are missing.
// powerOk says whether the power reply arrived whole; only then is power new. A pass with
// nothing answered tells the caller the meter or its port is gone.
// Between requests carryOn (when given) is asked whether to go on; when it says no, the
// pass ends there and powerOk is false, so a stopped measurement never waits out a pass.
LiveValues ReadLiveValues(MeterLink& link, const LiveValues& previous = {},
                          const std::function<bool()>& carryOn = {});

// The RS-485 live block: nine big-endian 32-bit values; the ninth is not used.
struct BusLiveValues {
    float zero = 0;
    float cal = 0;
    float calK = 0;
    float k = 0;
    float power = 0;
    float ad = 0;
    float voltage = 0;
    float temperature = 0;
};

BusLiveValues DecodeLiveBlock(const std::array<std::uint8_t, kLiveBlockBytes>& block);

// One RS-485 pass at the bus address: the values, or nothing when the block read failed.
std::optional<BusLiveValues> ReadBusLiveValues(MeterLink& link, std::uint8_t address);

}  // namespace qtm
