#include "device/VkFrame.h"

#include <algorithm>
#include <cstring>

#include "device/MeterText.h"

namespace qtm {

namespace {

Bytes VkHead(std::uint8_t cls, std::uint8_t code) {
    // Room for the tail the callers append: GCC 12 otherwise misreads the growth of a
    // four-byte vector as a write past its end (-Warray-bounds).
    Bytes head;
    head.reserve(16);
    head.insert(head.end(), {'V', 'K', cls, code});
    return head;
}

void AppendLe(Bytes& out, std::uint64_t bits, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

std::uint64_t ReadLe(const Bytes& reply, std::size_t offset, int size) {
    std::uint64_t bits = 0;
    for (int i = 0; i < size; ++i) {
        const std::size_t at = offset + static_cast<std::size_t>(i);
        const std::uint64_t byte = at < reply.size() ? reply[at] : 0;
        bits |= byte << (8 * i);
    }
    return bits;
}

// Copies size bytes from offset (zeros past the end) for the text decoders.
std::vector<std::uint8_t> Field(const Bytes& reply, std::size_t offset, std::size_t size) {
    std::vector<std::uint8_t> field(size, 0);
    for (std::size_t i = 0; i < size && offset + i < reply.size(); ++i)
        field[i] = reply[offset + i];
    return field;
}

}  // namespace

Bytes BuildVkRead(std::uint8_t code) {
    Bytes frame = VkHead(kVkRead, code);
    frame.insert(frame.end(), {0x01, 0x00, 0x01});
    return frame;
}

Bytes BuildVkIdentityRead(std::uint8_t code) {
    Bytes frame = VkHead(kVkRead, code);
    frame.insert(frame.end(), {0x00, 0x01, 0x01});
    return frame;
}

Bytes BuildVkWrite(std::uint8_t code, const Bytes& values) {
    return BuildVkWrite(code, static_cast<std::uint16_t>(values.size()), values);
}

Bytes BuildVkWrite(std::uint8_t code, std::uint16_t lengthField, const Bytes& values) {
    Bytes frame = VkHead(kVkWrite, code);
    AppendLe(frame, lengthField, 2);
    frame.insert(frame.end(), values.begin(), values.end());
    frame.push_back(0x00);
    return frame;
}

Bytes FixedWidthText(std::string_view bytes, std::size_t width) {
    Bytes field(width, ' ');
    const std::string_view text = CutMeterText(bytes, width);
    std::copy(text.begin(), text.end(), field.begin());
    return field;
}

Bytes BuildFitDataRequest() {
    return Bytes{'F', 'i', 't', 0x00, 'R', 0x00};
}

Bytes BuildPolynomialWrite(double c0, double c1, double c2, double c3, double c4) {
    Bytes frame{'F', 'i', 't', '.', 'W'};
    for (double c : {c0, c1, c2, c3, c4}) {
        const Bytes le = LeDouble(c);
        frame.insert(frame.end(), le.begin(), le.end());
    }
    return frame;
}

Bytes BuildQtm300Identify() {
    return Bytes{0x8C, 0x00};
}

Bytes BuildQtm300InfoRequest() {
    return Bytes{0x8C, 0x8C, 0x03, 0x8C, 0x8C, 0x04, 0x8C, 0x8C, 0x05, 0x8C, 0x8C, 0x06};
}

Bytes BuildQtm300UsbDisk() {
    return Bytes{0x8C, 0x8C, 0x01};
}

std::uint16_t VkUInt16(const Bytes& reply, std::size_t offset) {
    return static_cast<std::uint16_t>(ReadLe(reply, offset, 2));
}

std::uint32_t VkUInt32(const Bytes& reply, std::size_t offset) {
    return static_cast<std::uint32_t>(ReadLe(reply, offset, 4));
}

std::int32_t VkInt32(const Bytes& reply, std::size_t offset) {
    return static_cast<std::int32_t>(VkUInt32(reply, offset));
}

float VkFloat(const Bytes& reply, std::size_t offset) {
    const std::uint32_t bits = VkUInt32(reply, offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double VkDouble(const Bytes& reply, std::size_t offset) {
    const std::uint64_t bits = ReadLe(reply, offset, 8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Bytes LeInt32(std::int32_t value) {
    Bytes out;
    AppendLe(out, static_cast<std::uint32_t>(value), 4);
    return out;
}

Bytes LeFloat(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes out;
    AppendLe(out, bits, 4);
    return out;
}

Bytes LeDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes out;
    AppendLe(out, bits, 8);
    return out;
}

std::string VkIdentityModel(const Bytes& reply) {
    std::vector<std::uint8_t> field = Field(reply, kVkDataOffset, 10);
    // The model ends at the first space; the meter pads the field with spaces.
    const auto space = std::find(field.begin(), field.end(), std::uint8_t{' '});
    field.erase(space, field.end());
    return DecodeMeterText(field.data(), field.size());
}

std::string VkIdentityModelBytes(const Bytes& reply) {
    const std::vector<std::uint8_t> field = Field(reply, kVkDataOffset, 10);
    return TrimMeterField(field.data(), field.size());
}

std::string Qtm300IdentityModel(const Bytes& reply) {
    const std::vector<std::uint8_t> field = Field(reply, 2, 10);
    return DecodeMeterText(field.data(), field.size());
}

bool ReplyMatchesRequest(const Bytes& request, const Bytes& reply) {
    const bool vkRequest = request.size() >= 2 && request[0] == 'V' && request[1] == 'K';
    if (!vkRequest) return true;
    return reply.size() >= 2 && reply[0] == 'V' && reply[1] == 'K';
}

}  // namespace qtm
