// Request bytes and reply decoding of the VK command set and Modbus RTU, checked
// against byte tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "VkBytes.h"
#include "device/ModbusCrc.h"
#include "device/ModbusFrame.h"
#include "device/VkFrame.h"

namespace qtm {
namespace {

using test::Vk;

TEST(ModbusCrcTest, StandardCheckValueAndEmptyInput) {
    const char* check = "123456789";
    EXPECT_EQ(ModbusCrc16(reinterpret_cast<const std::uint8_t*>(check), 9), 0x4B37);
    EXPECT_EQ(ModbusCrc16(nullptr, 0), 0xFFFF);
}

TEST(ModbusFrameTest, RequestsCarryBigEndianFieldsAndLowFirstCrc) {
    struct Case {
        const char* what;
        Bytes frame;
        Bytes expected;
    };
    const std::uint8_t newAddress[] = {0xC6, 0x05};
    const Case cases[] = {
        {"live block read",
         BuildReadRegistersRequest(1, 0xE013, 18),
         {0x01, 0x03, 0xE0, 0x13, 0x00, 0x12, 0x03, 0xC2}},
        {"standard example",
         BuildReadRegistersRequest(0x11, 0x006B, 3),
         {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}},
        {"bus address write",
         BuildWriteRegistersRequest(1, 0xFCC6, 1, 2, newAddress),
         {0x01, 0x10, 0xFC, 0xC6, 0x00, 0x01, 0x02, 0xC6, 0x05}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GE(c.frame.size(), 2u);
        if (c.expected.size() + 2 == c.frame.size()) {
            // Only the body is given: the CRC must be that of the body, low byte first.
            const std::uint16_t crc = ModbusCrc16(c.expected.data(), c.expected.size());
            Bytes full = c.expected;
            full.push_back(crc & 0xFF);
            full.push_back(crc >> 8);
            EXPECT_EQ(c.frame, full);
        } else {
            EXPECT_EQ(c.frame, c.expected);
        }
        EXPECT_TRUE(ModbusCrcMatches(c.frame));
    }
}

TEST(ModbusFrameTest, CrcMismatchIsDetected) {
    Bytes frame = BuildReadRegistersRequest(1, 0xE013, 18);
    frame[3] ^= 0x01;
    EXPECT_FALSE(ModbusCrcMatches(frame));
    EXPECT_FALSE(ModbusCrcMatches(Bytes{0x01}));
}

TEST(ModbusFrameTest, RegisterValuesAreMostSignificantByteFirst) {
    const std::uint8_t data[] = {0x41, 0x20, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_FLOAT_EQ(RegisterFloat(data), 10.0f);
    EXPECT_EQ(RegisterUInt16(data), 0x4120);
    EXPECT_EQ(RegisterUInt32(data), 0x41200000u);
    EXPECT_EQ(RegisterInt32(data + 4), -2);

    std::uint8_t out[4] = {};
    PutRegisterFloat(out, 10.0f);
    EXPECT_EQ(0, std::memcmp(out, data, 4));
    PutRegisterUInt16(out, 0xC605);
    EXPECT_EQ(out[0], 0xC6);
    EXPECT_EQ(out[1], 0x05);
}

TEST(VkFrameTest, RequestBytesOfEveryCommand) {
    struct Case {
        const char* what;
        Bytes frame;
        Bytes expected;
    };
    const Case cases[] = {
        {"model read", BuildVkIdentityRead(0x01), Vk({0x42, 0x01, 0x00, 0x01, 0x01})},
        {"serial read", BuildVkIdentityRead(0x02), Vk({0x42, 0x02, 0x00, 0x01, 0x01})},
        {"band read", BuildVkRead(0x23), Vk({0x42, 0x23, 0x01, 0x00, 0x01})},
        {"save gap read", BuildVkRead(0x22), Vk({0x42, 0x22, 0x01, 0x00, 0x01})},
        {"fit state", BuildVkWrite(0x46, Bytes{0x30}), Vk({0x43, 0x46, 0x01, 0x00, 0x30, 0x00})},
        {"model write", BuildVkWrite(0x01, FixedWidthText("QTX-200P", 10)),
         Vk({0x43, 0x01, 0x0A, 0x00, 'Q', 'T', 'X', '-', '2', '0', '0', 'P', ' ', ' ', 0x00})},
        {"band write", BuildVkWrite(0x23, 14, FixedWidthText("400-700nm", 12)),
         Vk({0x43, 0x23, 0x0E, 0x00, '4', '0', '0', '-', '7', '0', '0', 'n', 'm', ' ', ' ', ' ',
             0x00})},
        {"fit data", BuildFitDataRequest(), Bytes{0x46, 0x69, 0x74, 0x00, 0x52, 0x00}},
        {"qtm300 identify", BuildQtm300Identify(), Bytes{0x8C, 0x00}},
        {"qtm300 info", BuildQtm300InfoRequest(),
         Bytes{0x8C, 0x8C, 0x03, 0x8C, 0x8C, 0x04, 0x8C, 0x8C, 0x05, 0x8C, 0x8C, 0x06}},
        {"qtm300 usb disk", BuildQtm300UsbDisk(), Bytes{0x8C, 0x8C, 0x01}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.frame, c.expected);
    }
}

TEST(VkFrameTest, TextFieldsAreCutOrPaddedToTheirWidth) {
    EXPECT_EQ(FixedWidthText("", 3), (Bytes{' ', ' ', ' '}));
    EXPECT_EQ(FixedWidthText("ABCDEFGHIJKLMN", 10).size(), 10u);
    EXPECT_EQ(FixedWidthText("ABCDEFGHIJKLMN", 10).back(), 'J');
}

// The field carries the meter's bytes (EncodeMeterText made them), no longer the low eight
// bits of each character; a cut never leaves half of a two-byte GBK character behind.
TEST(VkFrameTest, TextFieldsCarryTheMeterBytesAndCutAtACharacter) {
    EXPECT_EQ(FixedWidthText("ABCDEFGH\xB5\x6D", 10),
              (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0xB5, 0x6D}));
    EXPECT_EQ(FixedWidthText("ABCDEFGHI\xB5\x6D", 10),
              (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', ' '}));
    // Bytes that fit go out as they are, even when they are not GBK.
    EXPECT_EQ(FixedWidthText("\xFF\xC3", 3), (Bytes{0xFF, 0xC3, ' '}));
    // The backup's model is the whole field: the identification's model name stops at a space.
    const Bytes reply =
        Vk({0x42, 0x01, 0x0A, 0x00, 'Q', 'T', 'X', ' ', '2', '0', '0', 'P', ' ', ' '});
    EXPECT_EQ(VkIdentityModel(reply), "QTX");
    EXPECT_EQ(VkIdentityModelBytes(reply), "QTX 200P");
}

TEST(VkFrameTest, PolynomialGoesOutAsFiveLittleEndianDoublesFromC0) {
    const Bytes frame = BuildPolynomialWrite(2.0, 0.0, 0.0, 0.0, 1.0);
    ASSERT_EQ(frame.size(), 45u);
    const Bytes head{0x46, 0x69, 0x74, 0x2E, 0x57};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), frame.begin()));
    const Bytes two{0, 0, 0, 0, 0, 0, 0, 0x40};
    const Bytes zero(8, 0);
    const Bytes one{0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    const Bytes* expected[] = {&two, &zero, &zero, &zero, &one};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(
            std::equal(expected[i]->begin(), expected[i]->end(), frame.begin() + 5 + 8 * i));
    }
}

TEST(VkFrameTest, ValuesAreTakenLittleEndianFromOffsetSix) {
    Bytes reply{'V', 'K', 0x42, 0x0F, 0x04, 0x00, 0x00, 0x00, 0x20, 0x41, 0xEE};
    EXPECT_FLOAT_EQ(VkFloat(reply), 10.0f);
    reply = {'V', 'K', 0, 0, 4, 0, 0x2C, 0x01, 0x00, 0x00, 0};
    EXPECT_EQ(VkInt32(reply), 300);
    EXPECT_EQ(VkUInt16(reply), 300);
    reply = {'V', 'K', 0, 0, 4, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(VkInt32(reply), -2);
    EXPECT_EQ(LeInt32(-2), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(LeFloat(10.0f), (Bytes{0x00, 0x00, 0x20, 0x41}));
    // A short reply reads as zeros past its end instead of past the buffer.
    EXPECT_EQ(VkInt32(Bytes{'V', 'K', 0, 0, 0, 0, 0x05}), 5);
    EXPECT_DOUBLE_EQ(VkDouble(LeDouble(1.5), 0), 1.5);
}

TEST(VkFrameTest, IdentityModelTexts) {
    struct Case {
        const char* what;
        Bytes reply;
        bool qtm300;
        std::string model;
    };
    const Case cases[] = {
        {"model ends at the first space",
         Vk({0x42, 0x01, 0x0A, 0x00, 'Q', 'T', 'X', '-', '2', '0', '0', 'P', ' ', ' '}), false,
         "QTX-200P"},
        {"zero byte ends it too", Vk({0, 0, 0, 0, 'Q', 'T', 'X', 0, 'Z', 'Z', 'Z', 'Z', 'Z', 'Z'}),
         false, "QTX"},
        {"ten characters fill the field",
         Vk({0, 0, 0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}), false, "ABCDEFGHIJ"},
        {"qtm300 keeps trailing spaces",
         Bytes{0x8C, 0x00, 'Q', 'T', 'M', '3', '0', '0', ' ', ' ', ' ', ' ', 0, 0, 0, 0}, true,
         "QTM300    "},
        {"short reply", Bytes{0x8C, 0x00, 'Q'}, true, "Q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.qtm300 ? Qtm300IdentityModel(c.reply) : VkIdentityModel(c.reply), c.model);
    }
}

}  // namespace
}  // namespace qtm
