// Building the meter's USB request frames ("VK" command set, the polynomial and fitting
// frames, the "QTM300" frames) and taking values out of its replies. Pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qtm {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kVkRead = 0x42;   // 'B'
inline constexpr std::uint8_t kVkWrite = 0x43;  // 'C'
inline constexpr std::size_t kVkDataOffset = 6;

// VK command codes used by the link itself; the service layer frames the others.
namespace vk {
inline constexpr std::uint8_t kModel = 0x01;
inline constexpr std::uint8_t kSerialNumber = 0x02;
inline constexpr std::uint8_t kCalValue = 0x0F;
inline constexpr std::uint8_t kCoefficientK = 0x10;
inline constexpr std::uint8_t kMemoryUsage = 0x1F;
inline constexpr std::uint8_t kSaveGap = 0x22;
inline constexpr std::uint8_t kBand = 0x23;
inline constexpr std::uint8_t kRange = 0x24;
inline constexpr std::uint8_t kFitState = 0x46;
inline constexpr std::uint8_t kFitStart = 0x30;
inline constexpr std::uint8_t kFitEnd = 0x31;
}  // namespace vk

// "VK" 42 code 01 00 01: the usual read request.
Bytes BuildVkRead(std::uint8_t code);
// "VK" 42 code 00 01 01: the model and serial-number reads carry their length bytes
// the other way round, and the meter expects exactly that.
Bytes BuildVkIdentityRead(std::uint8_t code);
// "VK" 43 code len(LE16) values 00, the length being the number of value bytes.
Bytes BuildVkWrite(std::uint8_t code, const Bytes& values);
// The same with an explicit length field (band and range writes send 14 for 12 bytes).
Bytes BuildVkWrite(std::uint8_t code, std::uint16_t lengthField, const Bytes& values);
// A fixed-width text field for the meter: the text's bytes, already in the meter's code page
// (EncodeMeterText), cut to width without splitting a two-byte character, padded with spaces.
Bytes FixedWidthText(std::string_view bytes, std::size_t width);

// "Fit" 00 "R" 00: asks for the fitting-data stream.
Bytes BuildFitDataRequest();
// "Fit.W" then c0..c4 as little-endian doubles (45 bytes).
Bytes BuildPolynomialWrite(double c0, double c1, double c2, double c3, double c4);

// The "QTM300" frames.
Bytes BuildQtm300Identify();     // 8C 00
Bytes BuildQtm300InfoRequest();  // 8C 8C 03 8C 8C 04 8C 8C 05 8C 8C 06
Bytes BuildQtm300UsbDisk();      // 8C 8C 01

// A reply to request that can be taken at all: for a "VK" request it must start with "VK"
// (a reply that does not is noise or another device); other frames carry no magic.
bool ReplyMatchesRequest(const Bytes& request, const Bytes& reply);

// Little-endian values of VK reply data; offsets past the end read as zero bytes.
std::uint16_t VkUInt16(const Bytes& reply, std::size_t offset = kVkDataOffset);
std::int32_t VkInt32(const Bytes& reply, std::size_t offset = kVkDataOffset);
std::uint32_t VkUInt32(const Bytes& reply, std::size_t offset = kVkDataOffset);
float VkFloat(const Bytes& reply, std::size_t offset = kVkDataOffset);
double VkDouble(const Bytes& reply, std::size_t offset = kVkDataOffset);

// Little-endian encodings for the write requests the service layer builds.
Bytes LeInt32(std::int32_t value);
Bytes LeFloat(float value);
Bytes LeDouble(double value);

// The model text of an identification reply: VK bytes 6..15 up to the first space,
// "QTM300" bytes 2..11 whole; both stop at a zero byte. Decoded to UTF-8.
std::string VkIdentityModel(const Bytes& reply);
std::string Qtm300IdentityModel(const Bytes& reply);
// The whole model field of a VK identification reply (bytes 6..15) as the meter holds it,
// spaces inside kept: up to a zero byte, without the trailing padding (TrimMeterField).
std::string VkIdentityModelBytes(const Bytes& reply);

}  // namespace qtm
