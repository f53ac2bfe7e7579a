#include "service/ParameterOps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "device/ModbusFrame.h"
#include "device/SimFixture.h"
#include "device/VkBytes.h"
#include "service/CalibrationOps.h"
#include "service/MeterTextInput.h"
#include "service/NumberText.h"

namespace qtm {
namespace {

using test::Vk;

// What an operator types reaches the meter in GBK or not at all; the window cuts a long text
// at a character, the CLI refuses it.
TEST(MeterTextInputTest, TextsAreRefusedWithTheFieldOrCutAtACharacter) {
    struct Case {
        TextParameter which;
        std::string text;
        LongText longText;
        std::optional<std::string> bytes;
        const char* error;
    };
    const std::string ce = "\xE6\xB5\x8B";  // a Chinese character, two bytes in GBK
    const Case cases[] = {
        {TextParameter::Band, "\xE7\xA5\x84", LongText::Refuse, "\xB5\x6D", ""},
        {TextParameter::Model, "", LongText::Cut, std::nullopt, "The model cannot be empty"},
        {TextParameter::Range, "   ", LongText::Cut, std::nullopt, "The range cannot be empty"},
        {TextParameter::SerialNumber, "12\t3", LongText::Cut, std::nullopt,
         "The serial number holds the control character U+0009"},
        {TextParameter::Model, std::string("A\0B", 3), LongText::Cut, std::nullopt, "U+0000"},
        {TextParameter::Model, "A\x7F", LongText::Cut, std::nullopt, "U+007F"},
        {TextParameter::Band,
         "\xC3\x84"
         "BC",
         LongText::Cut, std::nullopt,
         "The band holds the character \"\xC3\x84\" (U+00C4), which the meter's code page "
         "(GBK) cannot express."},
        {TextParameter::Band, "A\xFF", LongText::Cut, std::nullopt, "not UTF-8 text"},
        {TextParameter::Model, "QTX-200P-XL", LongText::Refuse, std::nullopt,
         "The model takes at most 10 bytes in the meter's code page (GBK), and this one needs 11."},
        {TextParameter::Model, "QTX-200P-XL", LongText::Cut, "QTX-200P-X", ""},
        {TextParameter::Band, "ABCDEFGHIJK" + ce, LongText::Cut, "ABCDEFGHIJK", ""},
        {TextParameter::SerialNumber, ce + ce + ce + ce + ce + ce, LongText::Cut,
         "\xB2\xE2\xB2\xE2\xB2\xE2\xB2\xE2\xB2\xE2", ""},
        {TextParameter::Range, ce + ce + ce + ce + ce + ce + ce, LongText::Refuse, std::nullopt,
         "needs 14"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TextInput input = PrepareMeterText(c.which, c.text, c.longText);
        EXPECT_EQ(input.bytes, c.bytes);
        EXPECT_NE(input.error.find(c.error), std::string::npos) << input.error;
        EXPECT_EQ(input.error.empty(), input.bytes.has_value());
    }
}

TEST(ParameterRequestTest, EveryWriteGoesOutAsTheMeterExpectsIt) {
    struct Case {
        const char* what;
        Bytes frame;
        Bytes expected;
    };
    const Case cases[] = {
        {"energy ->Pause", BuildEnergyStateWrite(3), Vk({0x43, 0x21, 0x01, 0x00, 0x03, 0x00})},
        {"save gap 12", BuildSaveGapWrite(TruncateToInt32(12.9)),
         Vk({0x43, 0x22, 0x04, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00})},
        {"save gap -2", BuildSaveGapWrite(-2),
         Vk({0x43, 0x22, 0x04, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
        {"K 1.5", BuildKWrite(1.5f), Vk({0x43, 0x0F, 0x04, 0x00, 0x00, 0x00, 0xC0, 0x3F, 0x00})},
        {"cal 2.5", BuildCalValueWrite(2.5f),
         Vk({0x43, 0x07, 0x04, 0x00, 0x00, 0x00, 0x20, 0x40, 0x00})},
        {"erase", BuildEraseRequest(), Vk({0x43, 0x25, 0x01, 0x00, 0x01})},
        {"zero calibration", BuildZeroCalibration(), Vk({0x43, 0x07, 0x01, 0x00, 0xF1, 0x00})},
        {"zero read", BuildZeroValueRead(), Vk({0x42, 0x07, 0x01, 0x00, 0x01})},
        {"cal K 3.99", BuildCalKWrite(TruncateToInt32(3.99)),
         Vk({0x43, 0x43, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.frame, c.expected);
    }
    EXPECT_EQ(FloatRegisterData(1.5f), (std::array<std::uint8_t, 4>{0x00, 0x00, 0xC0, 0x3F}));
}

TEST(ParameterRequestTest, TruncationTowardZeroStopsAtTheEndsOfTheRange) {
    EXPECT_EQ(TruncateToInt32(12.9), 12);
    EXPECT_EQ(TruncateToInt32(-12.9), -12);
    EXPECT_EQ(TruncateToInt32(1e12), 2147483647);
    EXPECT_EQ(TruncateToInt32(-1e12), -2147483647 - 1);
    EXPECT_EQ(TruncateToInt32(std::nan("")), 0);
}

TEST(ParamWriteReportTest, EachLineSaysFailedWhenItsFlagIsSet) {
    EXPECT_EQ(ParamWriteReport(0),
              " -----< Param write Info!!! >----- \n\r 1、Model write OK. \n\r 2、SN write OK. \n\r"
              " 3、Band write OK. \n\r 4、Rang write OK. \n\r");
    EXPECT_EQ(ParamWriteReport(14),
              " -----< Param write Info!!! >----- \n\r 1、Model write OK. \n\r"
              " 2、SN write failed. \n\r 3、Band write failed. \n\r 4、Rang write failed. \n\r");
    const std::string all = ParamWriteReport(15);
    EXPECT_EQ(all.find("OK."), std::string::npos);
}

using UsbWriteTest = test::SimFixture;
using BusWriteTest = test::SimFixture;

TEST_F(UsbWriteTest, IdentityTextsArePaddedCutAndReadBack) {
    StartMeter();
    EXPECT_EQ(WriteIdentityTexts(link, {"QTX-200L", "SN-1234567890", "400-700nm", "0-2000"}), 0);
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0],
              Vk({0x43, 0x01, 0x0A, 0x00, 'Q', 'T', 'X', '-', '2', '0', '0', 'L', ' ', ' ', 0x00}));
    EXPECT_EQ(requests[1],
              Vk({0x43, 0x02, 0x0A, 0x00, 'S', 'N', '-', '1', '2', '3', '4', '5', '6', '7', 0x00}));
    EXPECT_EQ(requests[3], Vk({0x43, 0x24, 0x0E, 0x00, '0', '-', '2', '0', '0', '0', ' ', ' ', ' ',
                               ' ', ' ', ' ', 0x00}));
    meter->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().model, "QTX-200L");
        EXPECT_EQ(m.State().serial, "SN-1234567");
        EXPECT_EQ(m.State().band, "400-700nm");
    });
}

TEST_F(UsbWriteTest, ValuesWrittenAreReadBack) {
    StartMeter();
    const MeterTarget usb;
    ASSERT_TRUE(WriteCalValue(link, usb, 3.25f));
    ASSERT_TRUE(WriteCoefficientK(link, usb, 1.5f));
    ASSERT_TRUE(WriteSaveGap(link, 12));
    float cal = 0, k = 0;
    std::int32_t gap = 0;
    EXPECT_EQ(link.ReadCalValue(cal), 1);
    EXPECT_EQ(link.ReadCoefficientK(k), 1);
    EXPECT_EQ(link.ReadSaveGap(gap), 1);
    EXPECT_FLOAT_EQ(cal, 3.25f);
    EXPECT_FLOAT_EQ(k, 1.5f);
    EXPECT_EQ(gap, 12);
}

TEST_F(UsbWriteTest, SilentMeterMeansFailureNotSuccess) {
    StartMeter({.fault = qtmsim::Fault::Silent});
    EXPECT_FALSE(WriteSaveGap(link, 5));
    EXPECT_FALSE(EraseRecords(link));
    // The requests did go out, once each: the failure is the meter's silence.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{0x22, 0x25}));
}

TEST_F(UsbWriteTest, SilentMeterFailsEveryIdentityText) {
    StartMeter({.fault = qtmsim::Fault::Silent});
    EXPECT_EQ(WriteIdentityTexts(link, {"A", "B", "C", "D"}), 15);
}

TEST_F(UsbWriteTest, MissingPortFailsEveryWrite) {
    link.SetPortName("/dev/qtm-test-no-such-port");
    EXPECT_FALSE(WriteEnergyState(link, 1));
    EXPECT_FALSE(SwitchToUsbDisk(link));
    EXPECT_FALSE(WriteCalK(link, 3));
    EXPECT_EQ(WriteIdentityTexts(link, {"A", "B", "C", "D"}), 15);
}

TEST_F(UsbWriteTest, UsbDiskCommandIsThreeBytesWithoutAReply) {
    StartMeter({.family = qtmsim::Family::Qtm300});
    EXPECT_TRUE(SwitchToUsbDisk(link));
    // The port is closed at once; give the meter a moment to take the bytes off the line.
    for (int i = 0; i < 100 && Requests().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x8C, 0x8C, 0x01}}));
}

TEST_F(BusWriteTest, KAndCalGoToTheirRegistersLittleEndian) {
    StartMeter({.rs485 = true, .address = 7});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    const MeterTarget bus{CommMode::Rs485, 7};
    EXPECT_TRUE(WriteCoefficientK(link, bus, 1.5f));
    EXPECT_TRUE(WriteCalValue(link, bus, 2.0f));
    const std::array<std::uint8_t, 4> k{0x00, 0x00, 0xC0, 0x3F};
    const std::array<std::uint8_t, 4> cal{0x00, 0x00, 0x00, 0x40};
    EXPECT_EQ(Requests(), (std::vector<Bytes>{BuildWriteRegistersRequest(7, 0xE00E, 2, 4, k),
                                              BuildWriteRegistersRequest(7, 0xE010, 2, 4, cal)}));
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_FLOAT_EQ(m.State().k, 1.5f); });
}

TEST_F(BusWriteTest, UnacknowledgedWriteFailsAfterThreeAttempts) {
    StartMeter({.rs485 = true, .fault = qtmsim::Fault::BadCrc});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    EXPECT_FALSE(WriteCoefficientK(link, {CommMode::Rs485, 1}, 2.0f));
    EXPECT_EQ(Requests().size(), 3u);
}

}  // namespace
}  // namespace qtm
