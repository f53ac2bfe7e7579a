// The pause hook: the link's pacing is recorded instead of slept, so the pauses a
// silent meter costs can be checked exactly and at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <vector>

#include "FakeTransport.h"
#include "device/MeterLink.h"
#include "device/Pause.h"

namespace qtm {
namespace {

std::mutex g_pausesMutex;
std::vector<int> g_pauses;

void RecordPause(int ms) {
    std::lock_guard lock(g_pausesMutex);
    g_pauses.push_back(ms);
}

class PauseTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_pauses.clear();
        m_previous = SetPauseFunction(&RecordPause);
        link.SetPortName("/dev/fake0");
    }
    void TearDown() override { SetPauseFunction(m_previous); }

    std::vector<int> Pauses() {
        std::lock_guard lock(g_pausesMutex);
        return g_pauses;
    }

    std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
    MeterLink link{test::FakeFactory(line)};

private:
    PauseFunction m_previous = nullptr;
};

TEST_F(PauseTest, SilentMeterCostsTenPausesOfAHundredMilliseconds) {
    EXPECT_EQ(link.ReadSerialNumber(), 1);
    EXPECT_EQ(Pauses(), std::vector<int>(10, 100));
}

TEST_F(PauseTest, SilentBusWriteWaitsBeforeAndAfterEachOfThreeAttempts) {
    ASSERT_EQ(link.OpenBusPort("/dev/fake0", 115200), 0);
    const std::array<std::uint8_t, 2> data{0xC6, 5};
    EXPECT_EQ(link.WriteMultipleRegisters(1, 0xFCC6, 1, 2, data), 0);
    const std::vector<int> pauses = Pauses();
    // Per attempt: 100 ms after the request, 108 polls of 10 ms for 8 bytes, 100 ms after.
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 6);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 10), 3 * 108);
    EXPECT_EQ(pauses.size(), 6u + 3 * 108);
}

TEST_F(PauseTest, RemovingTheHookBringsTheRealSleepBack) {
    EXPECT_EQ(SetPauseFunction(nullptr), &RecordPause);
    const auto start = std::chrono::steady_clock::now();
    SleepMs(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_TRUE(Pauses().empty());
}

}  // namespace
}  // namespace qtm
