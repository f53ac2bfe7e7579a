#include "service/MeterIdentity.h"

#include <gtest/gtest.h>

#include "device/ModbusFrame.h"
#include "device/SimFixture.h"

namespace qtm {
namespace {

TEST(BusIdentityDecodeTest, SerialNumberIsBigEndianAndUnsigned) {
    EXPECT_EQ(DecodeBusSerialNumber({0x01, 0x6F, 0x06, 0x21}), 24053281u);
    EXPECT_EQ(DecodeBusSerialNumber({0xFF, 0xFF, 0xFF, 0xFE}), 4294967294u);
    EXPECT_EQ(FormatBusSerialNumber(4294967294u), "4294967294");
    EXPECT_EQ(FormatBusSerialNumber(0), "0");
}

TEST(BusIdentityDecodeTest, ModelTextEndsAtTheFirstZeroByte) {
    EXPECT_EQ(DecodeBusModel({'Q', 'T', 'X', '-', '2', '0', '0', 'P', 0, 'Z', 'Z', 'Z'}),
              "QTX-200P");
    EXPECT_EQ(DecodeBusModel({'Q', 'T', 'X', '-', '2', '1', '0', 'U', 'V', 'A', '1', '2'}),
              "QTX-210UVA12");
    EXPECT_EQ(DecodeBusModel({0, 'Q', 'T', 'X', 0, 0, 0, 0, 0, 0, 0, 0}), "");
}

using UsbIdentityTest = test::SimFixture;
using BusIdentityTest = test::SimFixture;

bool NoneRead(const IdentityRead& read) {
    return !(read.band || read.range || read.calValue || read.saveGap || read.k);
}

TEST_F(UsbIdentityTest, ReadsEverySettingOfAQtx200InOrder) {
    StartMeter({.serial = "SN 42", .calValue = 2.75f, .k = 1.125f});
    const IdentityRead read = ReadIdentity(link);
    ASSERT_TRUE(read.serialNumber && read.band && read.range && read.calValue && read.saveGap &&
                read.k);
    // The serial number field is ten bytes; the meter's padding is kept.
    EXPECT_EQ(*read.serialNumber, "SN 42     ");
    EXPECT_FLOAT_EQ(*read.calValue, 2.75f);
    EXPECT_FLOAT_EQ(*read.k, 1.125f);

    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{0x02, 0x23, 0x24, 0x0F, 0x22, 0x10}));
}

TEST_F(UsbIdentityTest, Qtm300StopsAfterTheSerialNumber) {
    StartMeter({.family = qtmsim::Family::Qtm300});
    link.SetDeviceType(DeviceType::Qtm300);
    const IdentityRead read = ReadIdentity(link);
    EXPECT_TRUE(read.serialNumber.has_value());
    EXPECT_TRUE(NoneRead(read));
    EXPECT_EQ(meter->RequestLog().size(), 1u);
}

TEST_F(UsbIdentityTest, MissingPortLeavesEveryValueUnread) {
    link.SetPortName("/dev/qtm-test-no-such-port");
    const IdentityRead read = ReadIdentity(link);
    EXPECT_FALSE(read.serialNumber);
    EXPECT_TRUE(NoneRead(read));
    EXPECT_FALSE(ReadInfoText(link).has_value());
}

TEST_F(BusIdentityTest, FailedSerialReadSkipsTheModelRead) {
    StartMeter({.rs485 = true, .fault = qtmsim::Fault::BadCrc});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    EXPECT_FALSE(ReadBusIdentity(link, 1).has_value());
    // Three attempts at the serial number, none at the model.
    EXPECT_EQ(Requests(), std::vector<Bytes>(3, BuildReadRegistersRequest(1, 0xFC79, 2)));
}

}  // namespace
}  // namespace qtm
