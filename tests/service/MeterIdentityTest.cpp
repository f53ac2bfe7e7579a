#include "service/MeterIdentity.h"

#include <gtest/gtest.h>

#include "sim/SimMeter.h"

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

class UsbIdentityTest : public ::testing::Test {
protected:
    void Start(qtmsim::MeterConfig config) {
        m_sim = std::make_unique<qtmsim::SimMeter>(std::move(config));
        ASSERT_TRUE(m_sim->Start(&m_error)) << m_error;
        m_link.SetSystemPortsEnabled(false);
        m_link.SetPortName(m_sim->PortPath());
    }

    std::unique_ptr<qtmsim::SimMeter> m_sim;
    MeterLink m_link;
    std::string m_error;
};

TEST_F(UsbIdentityTest, ReadsEverySettingOfAQtx200InOrder) {
    qtmsim::MeterConfig config;
    config.serial = "SN 42";
    config.calValue = 2.75f;
    config.k = 1.125f;
    Start(config);
    const IdentityRead read = ReadIdentity(m_link);
    ASSERT_TRUE(read.serialNumber && read.band && read.range && read.calValue && read.saveGap &&
                read.k);
    // The serial number field is ten bytes; the meter's padding is kept.
    EXPECT_EQ(*read.serialNumber, "SN 42     ");
    EXPECT_FLOAT_EQ(*read.calValue, 2.75f);
    EXPECT_FLOAT_EQ(*read.k, 1.125f);

    const auto log = m_sim->RequestLog();
    const std::uint8_t codes[] = {0x02, 0x23, 0x24, 0x0F, 0x22, 0x10};
    ASSERT_EQ(log.size(), std::size(codes));
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].bytes[3], codes[i]) << i;
}

TEST_F(UsbIdentityTest, Qtm300StopsAfterTheSerialNumber) {
    qtmsim::MeterConfig config;
    config.family = qtmsim::Family::Qtm300;
    Start(config);
    m_link.SetDeviceType(DeviceType::Qtm300);
    const IdentityRead read = ReadIdentity(m_link);
    EXPECT_TRUE(read.serialNumber.has_value());
    EXPECT_FALSE(read.band || read.range || read.calValue || read.saveGap || read.k);
    EXPECT_EQ(m_sim->RequestLog().size(), 1u);
}

TEST(UsbIdentityNoPortTest, MissingPortLeavesEveryValueUnread) {
    MeterLink link;
    link.SetSystemPortsEnabled(false);
    link.SetPortName("/dev/qtm-test-no-such-port");
    const IdentityRead read = ReadIdentity(link);
    EXPECT_FALSE(read.serialNumber || read.band || read.range || read.calValue || read.saveGap ||
                 read.k);
    EXPECT_FALSE(ReadInfoText(link).has_value());
}

TEST(BusIdentityTest, FailedSerialReadSkipsTheModelRead) {
    qtmsim::MeterConfig config;
    config.rs485 = true;
    config.fault = qtmsim::Fault::BadCrc;
    qtmsim::SimMeter sim(config);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    MeterLink link;
    ASSERT_EQ(link.OpenBusPort(sim.PortPath(), 115200), 0);
    EXPECT_FALSE(ReadBusIdentity(link, 1).has_value());
    const auto log = sim.RequestLog();
    ASSERT_EQ(log.size(), 3u);  // three attempts at 0xFC79, none at 0xFC00
    for (const auto& request : log) {
        EXPECT_EQ(request.bytes[2], 0xFC);
        EXPECT_EQ(request.bytes[3], 0x79);
    }
}

}  // namespace
}  // namespace qtm
