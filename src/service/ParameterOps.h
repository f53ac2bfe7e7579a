// The meter's parameter writes behind the "Factory settings" and "Param setting" groups and
// the CLI's set commands: the requests they frame, the links they take and what counts as
// success. No Qt; the callers show the outcome.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/MeterLink.h"

namespace qtm {

// Where a request goes: the link kind and, on RS-485, the meter's bus address.
struct MeterTarget {
    CommMode comm = CommMode::Usb;
    std::uint8_t address = 1;
    bool Bus() const { return comm == CommMode::Rs485; }
};

// VK command codes of the parameter writes.
namespace vkw {
inline constexpr std::uint8_t kCalValue = 0x07;  // shared with the zero calibration
inline constexpr std::uint8_t kCoefficientK = 0x0F;
inline constexpr std::uint8_t kEnergyState = 0x21;
inline constexpr std::uint8_t kSaveGap = 0x22;
inline constexpr std::uint8_t kErase = 0x25;
}  // namespace vkw

// Register map of the RS-485 parameter writes.
inline constexpr std::uint16_t kKRegister = 0xE00E;
inline constexpr std::uint16_t kCalValueRegister = 0xE010;
inline constexpr std::uint16_t kBusAddressRegister = 0xFCC6;
inline constexpr std::uint8_t kBusAddressMarker = 0xC6;

// Reply bytes each USB write awaits.
inline constexpr std::size_t kWriteReply = 8;
inline constexpr std::size_t kActionReply = 7;

// "VK" 43 21 01 00 s 00
Bytes BuildEnergyStateWrite(std::uint8_t state);
// "VK" 43 22 04 00 g0..g3 00 (signed 32-bit, little-endian)
Bytes BuildSaveGapWrite(std::int32_t seconds);
// "VK" 43 0F 04 00 k0..k3 00 (IEEE single, little-endian)
Bytes BuildKWrite(float k);
// "VK" 43 07 04 00 f0..f3 00: the calibration value as a little-endian single behind the
// code the zero calibration uses with its one-byte value, framed like the K write.
Bytes BuildCalValueWrite(float value);
// "VK" 43 25 01 00 01: the meter takes this one without a closing zero.
Bytes BuildEraseRequest();
// The 4 data bytes of a float register write: the float's bytes in little-endian order.
std::array<std::uint8_t, 4> FloatRegisterData(float value);

class WriteLog;
struct MeterParameters;

// The four texts of the identity write as the meter's bytes (GBK, each at most its field's
// width: PrepareMeterText); mask flags for those the meter did not take.
struct IdentityTexts {
    std::string model;
    std::string serialNumber;
    std::string band;
    std::string range;
};
inline constexpr int kModelWriteFailed = 1;
inline constexpr int kSnWriteFailed = 2;
inline constexpr int kBandWriteFailed = 4;
inline constexpr int kRangeWriteFailed = 8;

// Writes model, serial number, band and range in this order, always all four; returns the
// mask of those that failed. With a log each write is one line of it, its old value taken
// from before (the meter's parameters read just before) when given.
int WriteIdentityTexts(MeterLink& link, const IdentityTexts& texts, WriteLog* log = nullptr,
                       const MeterParameters* before = nullptr);
// " -----< Param write Info!!! >----- \n\r" and one numbered line per text.
std::string ParamWriteReport(int mask);

// Each true when the meter took the value: on USB the request went out whole and the meter
// answered; on RS-485 the meter acknowledged the register write.
bool WriteCalValue(MeterLink& link, const MeterTarget& target, float value);
bool WriteCoefficientK(MeterLink& link, const MeterTarget& target, float k);
// These three exist on the USB link only.
bool WriteSaveGap(MeterLink& link, std::int32_t seconds);
bool WriteEnergyState(MeterLink& link, std::uint8_t state);
bool EraseRecords(MeterLink& link);
// The "QTM300" USB-disk command: true when its 3 bytes were written (no reply comes).
bool SwitchToUsbDisk(MeterLink& link);
// The bus address register at the current address: true when acknowledged.
bool WriteBusAddress(MeterLink& link, std::uint8_t current, std::uint8_t wanted);

// A USB write result taken with the meter's answer: 0 only when the request went out and
// some reply came back (call under link.LockSequence() with the exchange).
int HeardResult(const MeterLink& link, int result);

}  // namespace qtm
