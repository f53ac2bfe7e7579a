// MeterLink against a scripted port: what a misbehaving meter can and cannot do to the
// caller's buffers, results of failed opens and writes, and one exchange at a time.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "device/MeterLink.h"

namespace qtm {
namespace {

using test::FakeFactory;
using test::FakeLine;

class BoundsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    MeterLink link{FakeFactory(line)};
    void SetUp() override { link.SetPortName("/dev/fake0"); }
};

TEST_F(BoundsTest, BuffersTooSmallForTheCountAreRefused) {
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    std::array<std::uint8_t, 3> small{};
    EXPECT_EQ(link.ReadHoldingRegisters(1, 0xFC79, 2, small), 0);
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xE00E, 2, 4, small), 0);
    EXPECT_EQ(line->WriteCount(), 0u);
}

TEST_F(BoundsTest, ReplyCompletedOnTheLastAllowedPollIsAccepted) {
    // Nothing for 107 polls, then the whole reply: the 108th and last poll brings it.
    line->silentReads = 107;
    line->input.assign(8, 0x42);
    CRS485Serial bus(test::FakeFactory(line));
    ASSERT_TRUE(bus.Open("/dev/fake0", 115200));
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(bus.ReadExact(buffer.data(), 8), 8);
    EXPECT_EQ(bus.LastReadPolls(), 108);
    EXPECT_EQ(buffer[7], 0x42);
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
