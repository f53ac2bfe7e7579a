#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "SimTestFrames.h"
#include "sim/SimMeter.h"

namespace {

using simtest::VkRead;
using Clock = std::chrono::steady_clock;

class SimLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(meter.Start(&error)) << error;
        ASSERT_TRUE(port->Open(meter.LinePath(), 115200, nullptr));
        port->SetReadTimeouts({50, 0, 300});
    }
    long Send(const qtmsim::Bytes& request) {
        return port->Write(request.data(), request.size(), 500);
    }

    qtmsim::SimMeter meter{qtmsim::MeterConfig{}};
    std::unique_ptr<qtm::PortTransport> port = qtmsim::SimMeter::TransportFactory()();
    std::uint8_t buffer[64] = {};
};

TEST_F(SimLineTest, RequestGetsTheModelsReplyAndNothingLeftOver) {
    ASSERT_EQ(Send(VkRead(0x01)), 7);
    ASSERT_EQ(port->Read(buffer, 16), 16);
    EXPECT_EQ(std::string(buffer + 6, buffer + 16), "QTX-200P  ");
    EXPECT_EQ(port->InputWaiting(), 0);
    ASSERT_EQ(meter.RequestLog().size(), 1u);
    EXPECT_EQ(meter.RequestLog()[0].bytes, VkRead(0x01));
}

TEST_F(SimLineTest, ReadWithNoReplyEndsAtItsTotalTimeout) {
    meter.SetFault(qtmsim::Fault::Silent);
    ASSERT_EQ(Send(VkRead(0x01)), 7);
    const auto start = Clock::now();
    EXPECT_EQ(port->Read(buffer, 16), 0);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(290));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(SimLineTest, HangUpFailsTheLineForGood) {
    meter.SetFault(qtmsim::Fault::HangUp);
    Send(VkRead(0x01));
    EXPECT_EQ(port->Read(buffer, 16), -1);
    EXPECT_EQ(Send(VkRead(0x01)), -1);
    EXPECT_FALSE(meter.IsServing());
    port->Close();
    qtm::PortError error;
    EXPECT_FALSE(port->Open(meter.LinePath(), 115200, &error));
    EXPECT_EQ(error.kind, qtm::PortErrorKind::NotFound);
}

TEST_F(SimLineTest, SecondOpenIsBusyAndWakeEndsAWait) {
    auto other = qtmsim::SimMeter::TransportFactory()();
    qtm::PortError error;
    EXPECT_FALSE(other->Open(meter.LinePath(), 115200, &error));
    EXPECT_EQ(error.kind, qtm::PortErrorKind::Busy);
    EXPECT_EQ(port->WaitEvent(true, 20), qtm::WaitOutcome::Timeout);
    port->WakeWaiter();
    EXPECT_EQ(port->WaitEvent(true, 1000), qtm::WaitOutcome::Woken);
}

}  // namespace
