// Reading who the connected meter is: the identity and settings read after a USB
// identification, the "QTM300" information block, and the RS-485 parameter identity.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/MeterLink.h"

namespace qtm {

// Each value is present only when its read succeeded, so the caller keeps its own
// value for every read that failed.
struct IdentityRead {
    std::optional<std::string> serialNumber;
    std::optional<std::string> band;
    std::optional<std::string> range;
    std::optional<float> calValue;
    std::optional<std::int32_t> saveGap;  // data-save interval in seconds
    std::optional<float> k;               // illumination coefficient
    // The reads above whose reply did not come whole ("serial number", "band", "range",
    // "calibration value", "save interval", "K"). Their values are kept, cleared as the
    // window shows a missing reply, but nothing else may take them for the meter's.
    std::vector<std::string> broken;
    bool Whole(std::string_view name) const;
};

// After a meter was found on the USB link: the serial number, and for the "QTX200"
// family the band, range, calibration value, save interval and K, in that order.
IdentityRead ReadIdentity(MeterLink& link);

// The "QTM300" information block as text (zero bytes shown as spaces), or nothing
// when the request could not be sent.
std::optional<std::string> ReadInfoText(MeterLink& link);

// The RS-485 identity: serial number from register 0xFC79 (2 registers) and model text
// from 0xFC00 (6 registers).
struct BusIdentity {
    std::uint32_t serialNumber = 0;
    std::string model;
    std::string modelBytes;  // the register bytes as the meter holds them (TrimMeterField)
};

inline constexpr std::uint16_t kSerialNumberRegister = 0xFC79;
inline constexpr std::uint16_t kModelRegister = 0xFC00;

// The serial number's 4 register bytes, first byte most significant.
std::uint32_t DecodeBusSerialNumber(const std::array<std::uint8_t, 4>& data);
// The model's 12 register bytes as text up to the first zero byte, UTF-8.
std::string DecodeBusModel(const std::array<std::uint8_t, 12>& data);
// The serial number as the window shows it. Unsigned: a number at or above 2^31 is
// still the meter's number, not a negative one.
std::string FormatBusSerialNumber(std::uint32_t serialNumber);

// Reads the serial number and, only when that succeeded, the model. Nothing when
// either read failed.
std::optional<BusIdentity> ReadBusIdentity(MeterLink& link, std::uint8_t address);
// The model text alone (register 0xFC00), or nothing when the read failed.
std::optional<std::string> ReadBusModel(MeterLink& link, std::uint8_t address);

}  // namespace qtm
