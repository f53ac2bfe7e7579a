// Zero calibration and fitting: the requests behind the "Fit Data" group and the ZeroCal
// button, on both links, and the range R that follows a zero-value read. No Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/MeterLink.h"
#include "service/FitText.h"
#include "service/LiveReadings.h"
#include "service/ParameterOps.h"

namespace qtm {

namespace vkc {
inline constexpr std::uint8_t kZero = 0x07;  // read: the zero value; write: zero calibration
inline constexpr std::uint8_t kZeroCalibrationValue = 0xF1;
inline constexpr std::uint8_t kCalK = 0x43;
}  // namespace vkc

inline constexpr std::uint16_t kZeroCalibrationRegister = 0xE012;
inline constexpr std::uint16_t kFitStartRegister = 0xE010;
inline constexpr std::array<std::uint8_t, 2> kFitStartData{0xF5, 0x4A};
inline constexpr std::uint16_t kFitAdRegister = 0xC000;
inline constexpr std::uint16_t kFitTRegister = 0xC100;
inline constexpr std::uint16_t kFitCoefficientRegister = 0xC200;

// "VK" 43 07 01 00 F1 00
Bytes BuildZeroCalibration();
// "VK" 42 07 01 00 01
Bytes BuildZeroValueRead();
// "VK" 43 43 04 00 b0..b3 00: Cal K as a signed 32-bit integer, little-endian.
Bytes BuildCalKWrite(std::int32_t calK);

// True when the meter took the command (USB: sent and answered; RS-485: acknowledged).
bool ZeroCalibrate(MeterLink& link, const MeterTarget& target);

struct ZeroReadout {
    bool ok = false;  // the read went out and the meter answered
    float zero = 0;
    std::optional<BusLiveValues> block;  // RS-485: every value of the live block
};
ZeroReadout ReadZeroValue(MeterLink& link, const MeterTarget& target);

// R = (2^24 - zero) / cal / 1000 in single precision; nothing when cal is 0.
std::optional<float> RangeFromZero(float zero, float cal);

// The Cal K request goes out on the USB link whatever the link kind.
bool WriteCalK(MeterLink& link, std::int32_t calK);

// USB fitting state command (0x30 or 0x31): 0 when the request went out, -1 otherwise,
// as the window's messages distinguish them.
int SetFitStateUsb(MeterLink& link, std::uint8_t code);
// RS-485 start of a fitting run: true when acknowledged.
bool StartFittingOnBus(MeterLink& link, std::uint8_t address);

// The fitting data read: 50 pairs, the coefficients (c4 … c0) and the text to show (UTF-8).
struct FitReadout {
    bool sent = false;  // USB: the request went out (the text is then new)
    // Something was read: USB, some bytes of the stream came; RS-485, at least one of the
    // three register reads was answered. A read that got nothing is no read at all.
    bool ok = false;
    FitPairs pairs{};
    FitCoefficients coefficients{};
    std::string text;
};
// USB: the meter's text scanned for pairs and coefficients; coefficients it does not give keep
// the previous values.
FitReadout ReadFitDataUsb(MeterLink& link, const FitCoefficients& previous);
// RS-485: the AD, T and coefficient registers; a failed read leaves its values (pairs at 0,
// coefficients at their previous values).
FitReadout ReadFitDataBus(MeterLink& link, std::uint8_t address, const FitCoefficients& previous);

// The polynomial write (sent c0 … c4): true when the meter answered.
bool WriteFormula(MeterLink& link, const FitCoefficients& c4ToC0);
// "c4 c3 c2 c1 c0", each in the shortest form that reads back exactly (for the service log).
std::string CoefficientsText(const FitCoefficients& c4ToC0);
// True when any coefficient is 0 (such a formula is refused whole).
bool AnyZero(const FitCoefficients& c4ToC0);

}  // namespace qtm
