// The RS-485 register transactions of MeterLink against the simulated meter.
#include <array>

#include "SimFixture.h"
#include "device/ModbusCrc.h"
#include "device/ModbusFrame.h"

namespace qtm {
namespace {

using qtmsim::Fault;
using qtmsim::MeterConfig;

const MeterConfig kBusMeter{.rs485 = true};

class BusLinkTest : public test::SimFixture {
protected:
    void SetUp() override {
        StartMeter(kBusMeter);
        ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0)
            << link.LastOpenError().Describe();
    }
};

TEST_F(BusLinkTest, RegisterReadsAndWrites) {
    std::array<std::uint8_t, 4> serial{};
    int byteCount = 0;
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, serial, &byteCount), 1);
    EXPECT_EQ(byteCount, 4);
    std::array<std::uint8_t, 12> model{};
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC00, 6, model), 1);
    EXPECT_EQ(std::string(model.begin(), model.begin() + 8), "QTX-200P");

    // The meter takes K as the float's bytes in little-endian order.
    const std::array<std::uint8_t, 4> k{0x00, 0x00, 0x60, 0x40};
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xE00E, 2, 4, k), 1);
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_FLOAT_EQ(m.State().k, 3.5f); });

    std::array<std::uint8_t, 36> block{};
    EXPECT_EQ(link.ReadLiveBlock(block, 1), 1);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[3], BuildReadRegistersRequest(1, 0xE013, 18));
}

TEST_F(BusLinkTest, SettingTheBusAddressSendsTheMarkerAndNewAddress) {
    const std::uint8_t data[] = {0xC6, 0x05};
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xFCC6, 1, 2, data), 1);
    EXPECT_EQ(Requests(), std::vector<Bytes>{BuildWriteRegistersRequest(1, 0xFCC6, 1, 2, data)});
    std::array<std::uint8_t, 4> serial{};
    EXPECT_EQ(link.ReadHoldingRegisters(5, 0xFC79, 2, serial), 1);
}

TEST_F(BusLinkTest, CrcMismatchIsRetriedThreeTimes) {
    meter->SetFault(Fault::BadCrc);
    std::array<std::uint8_t, 4> serial{};
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, serial), 0);
    EXPECT_EQ(meter->RequestLog().size(), 3u);
    EXPECT_EQ(serial, (std::array<std::uint8_t, 4>{}));
}

TEST_F(BusLinkTest, CountsBeyondTheLimitsSendNothing) {
    std::vector<std::uint8_t> data(252);
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xC000, 126, data), 0);
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xC000, 124, 246, data), 0);
    EXPECT_TRUE(meter->RequestLog().empty());
}

TEST_F(BusLinkTest, ReplyWithALyingByteCountFailsWithoutOverflow) {
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        Bytes reply(253, 0xEE);
        reply[0] = request[0];
        reply[1] = 0x03;
        reply[2] = 250;
        AppendModbusCrc(reply);
        return reply;
    });
    std::array<std::uint8_t, 8> guarded{};
    int byteCount = 0;
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, std::span(guarded).first(4), &byteCount), 0);
    EXPECT_EQ(byteCount, 250);
    EXPECT_EQ(guarded, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(meter->RequestLog().size(), 3u);
}

TEST_F(BusLinkTest, SilentOrShortRepliesFailTheLiveBlockAfterThreeAttempts) {
    for (const Fault fault : {Fault::Silent, Fault::Short}) {
        SCOPED_TRACE(static_cast<int>(fault));
        meter->SetFault(fault);
        meter->ClearLog();
        std::array<std::uint8_t, 36> block;
        block.fill(0x11);
        EXPECT_EQ(link.ReadLiveBlock(block, 1), -1);
        EXPECT_EQ(block[0], 0x11);
        EXPECT_EQ(meter->RequestLog().size(), 3u);
    }
}

TEST_F(BusLinkTest, OpeningAgainMovesToTheNewPort) {
    qtmsim::SimMeter second(kBusMeter);
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(link.OpenBusPort(second.PortPath(), 115200), 0);
    EXPECT_TRUE(link.Bus().WatchThreadRunning());
    EXPECT_EQ(link.Bus().PortName(), second.PortPath());
    std::array<std::uint8_t, 36> block{};
    EXPECT_EQ(link.ReadLiveBlock(block, 1), 1);
    EXPECT_EQ(second.RequestLog().size(), 1u);
    EXPECT_TRUE(meter->RequestLog().empty());
}

TEST_F(BusLinkTest, CloseEndsTheWatchThread) {
    EXPECT_TRUE(link.BusPortOpen());
    EXPECT_TRUE(link.Bus().WatchThreadRunning());
    link.CloseBusPort();
    EXPECT_FALSE(link.BusPortOpen());
    EXPECT_FALSE(link.Bus().WatchThreadRunning());
    EXPECT_EQ(link.Bus().WatchThreadResult(), 0);
    link.CloseBusPort();  // a second close does nothing
    std::array<std::uint8_t, 36> block{};
    EXPECT_EQ(link.ReadLiveBlock(block, 1), -1);
}

}  // namespace
}  // namespace qtm
