// MeterLink against a scripted port: what a misbehaving meter can and cannot do to the
// caller's buffers, results of failed opens and writes, and one exchange at a time.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "device/MeterLink.h"
#include "device/ModbusCrc.h"
#include "device/ModbusFrame.h"

namespace qtm {
namespace {

using test::FakeFactory;
using test::FakeLine;

Bytes WithCrc(Bytes frame) {
    AppendModbusCrc(frame);
    return frame;
}

class BoundsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    MeterLink link{FakeFactory(line)};
    void SetUp() override { link.SetPortName("/dev/fake0"); }
};

TEST_F(BoundsTest, RegisterCountsBeyondModbusLimitsSendNothing) {
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    std::vector<std::uint8_t> data(2 * 126);
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xC000, 126, data), 0);
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xC000, 124, 246, data), 0);
    // A byte count larger than the data handed over is refused too.
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xE00E, 2, 4, std::span(data).first(3)), 0);
    EXPECT_EQ(line->WriteCount(), 0u);
}

TEST_F(BoundsTest, ReadReplyWithWrongByteCountFailsWithoutTouchingTheBuffer) {
    // The meter answers a 2-register read with 200 data bytes and a valid CRC.
    line->responder = [](const Bytes&) {
        Bytes reply{0x01, 0x03, 200};
        reply.resize(3 + 200, 0xAB);
        return WithCrc(reply);
    };
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    std::array<std::uint8_t, 8> guarded{};
    int byteCount = -1;
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, std::span(guarded).first(4), &byteCount), 0);
    EXPECT_EQ(byteCount, 200);
    EXPECT_EQ(guarded, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(line->WriteCount(), 3u);
}

TEST_F(BoundsTest, ReadIntoTooSmallBufferIsRefused) {
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    std::array<std::uint8_t, 3> small{};
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, small), 0);
    EXPECT_EQ(line->WriteCount(), 0u);
}

TEST_F(BoundsTest, LiveBlockFailureLeavesBlockAsItWas) {
    line->responder = [](const Bytes&) { return Bytes{0x01, 0x03, 36, 0x00}; };  // cut short
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    std::array<std::uint8_t, 36> block;
    block.fill(0x5A);
    EXPECT_EQ(link.ReadLiveBlock(block, 1), -1);
    EXPECT_EQ(block[0], 0x5A);
    EXPECT_EQ(block[35], 0x5A);
}

TEST_F(BoundsTest, EndlessFittingStreamStopsAt5100Bytes) {
    line->endlessInput = true;
    Bytes data;
    EXPECT_EQ(link.ReadFitData(data), 1);
    EXPECT_EQ(data.size(), MeterLink::kFitDataCapacity);
    EXPECT_EQ(link.FitDataCount(), 5100);
}

TEST_F(BoundsTest, OversizedBandHeaderReadsAtMostFourteenBytes) {
    line->responder = [](const Bytes&) {
        Bytes reply{'V', 'K', 0x42, 0x23, 0xFF, 0x00};
        for (int i = 0; i < 40; ++i)
            reply.push_back(static_cast<std::uint8_t>('a' + i % 26));
        return reply;
    };
    EXPECT_EQ(link.ReadBand(), 1);
    EXPECT_EQ(link.Band(), "abcdefghijklmn");
}

TEST_F(BoundsTest, FailedOpenGivesMinusOneAndTellsWhy) {
    line->openFailure = PortErrorKind::PermissionDenied;
    Bytes reply{1, 2, 3};
    EXPECT_EQ(link.ExchangeFrame(BuildVkRead(0x0D), 11, 10, 100, reply), -1);
    EXPECT_EQ(reply, Bytes(11, 0));
    EXPECT_EQ(link.LastOpenError().kind, PortErrorKind::PermissionDenied);
    EXPECT_EQ(link.WriteModel("QTX-200P"), -1);

    std::vector<std::string> messages;
    link.SetMessageSink([&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(link.OpenBusPort("/dev/ttyUSB7", 115200), -1);
    EXPECT_EQ(messages, std::vector<std::string>{"Open the /dev/ttyUSB7 port failed!"});
}

TEST_F(BoundsTest, RequestNotWrittenWholeGivesMinusOne) {
    line->writeLimit = 3;
    Bytes reply;
    EXPECT_EQ(link.ExchangeFrame(BuildVkRead(0x0D), 11, 1, 1, reply), -1);
    EXPECT_EQ(link.SetFitState(vk::kFitStart), -1);
    EXPECT_EQ(line->openNow, 0);
}

TEST_F(BoundsTest, ConcurrentCommandsNeverShareThePort) {
    line->responder = [](const Bytes& request) {
        Bytes reply(11, 0);
        reply[0] = 'V';
        reply[1] = 'K';
        reply[6] = request[3];
        return reply;
    };
    std::atomic<int> wrong{0};
    auto worker = [&](std::uint8_t code) {
        for (int i = 0; i < 3; ++i) {
            Bytes reply;
            if (link.ExchangeFrame(BuildVkRead(code), 11, 10, 5, reply) != 1 || reply[6] != code)
                ++wrong;
        }
    };
    std::thread a(worker, 0x0D), b(worker, 0x21);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(line->maxOpenAtOnce, 1);
}

}  // namespace
}  // namespace qtm
