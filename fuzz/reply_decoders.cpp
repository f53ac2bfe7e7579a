// The pure decoders of meter replies and meter texts, on any bytes.
// Must never: crash, read outside the reply (values past its end read as zero), give a
// text that is not UTF-8 or longer than 3 bytes per byte decoded, or a fixed-width
// field of another width than asked for.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "device/MeterText.h"
#include "device/ModbusFrame.h"
#include "device/VkFrame.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t code = input.Byte();
    const std::size_t offset = input.Byte();
    const std::size_t width = input.Byte() % 32;
    // The reply as its own allocation, so a read past its end is caught.
    const Bytes reply = input.Rest();

    const std::string decoded = DecodeMeterText(reply.data(), reply.size());
    CheckMeterText(decoded, reply.size());
    // A text read from a meter goes back as bytes that read as the same text, or not at all.
    const MeterTextEncoding encoded = EncodeMeterText(decoded);
    QTM_FUZZ_CHECK(encoded.bytes.has_value() == encoded.character.empty());
    if (encoded.bytes) QTM_FUZZ_CHECK(DecodeMeterText(*encoded.bytes) == decoded);
    QTM_FUZZ_CHECK(VkIdentityModelBytes(reply).size() <= 10);
    CheckMeterText(VkIdentityModel(reply), 10);
    CheckMeterText(Qtm300IdentityModel(reply), 10);

    // Values past the end of the reply read as zero bytes.
    if (offset >= reply.size()) {
        QTM_FUZZ_CHECK(VkUInt16(reply, offset) == 0);
        QTM_FUZZ_CHECK(VkUInt32(reply, offset) == 0);
    }
    (void)VkInt32(reply, offset);
    (void)VkFloat(reply, offset);
    (void)VkDouble(reply, offset);

    LiveValues values;
    TakeLiveReply(code, reply, values);

    const std::string text(reply.begin(), reply.end());
    QTM_FUZZ_CHECK(FixedWidthText(text, width).size() == width);

    std::array<std::uint8_t, kLiveBlockBytes> block{};
    std::copy_n(reply.begin(), std::min(reply.size(), block.size()), block.begin());
    (void)DecodeLiveBlock(block);
    std::array<std::uint8_t, 12> model{};
    std::copy_n(reply.begin(), std::min(reply.size(), model.size()), model.begin());
    CheckMeterText(DecodeBusModel(model), model.size());
    std::array<std::uint8_t, 4> serial{};
    std::copy_n(reply.begin(), std::min(reply.size(), serial.size()), serial.begin());
    const std::string number = FormatBusSerialNumber(DecodeBusSerialNumber(serial));
    QTM_FUZZ_CHECK(!number.empty() && number.size() <= 10);
    QTM_FUZZ_CHECK(
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }));

    // A frame with its own CRC appended always matches.
    std::vector<std::uint8_t> frame(reply.begin(), reply.end());
    AppendModbusCrc(frame);
    QTM_FUZZ_CHECK(ModbusCrcMatches(frame));
    (void)ModbusCrcMatches(reply);
    return 0;
}
