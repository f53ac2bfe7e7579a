// The Windows port against a meter that never answers: the driver's read time-outs, the
// receive-event wait and its wake, and a second open refused as busy. The wine test maps
// such a meter to a COM port and names it in QTM_TEST_SILENT_PORT.
#include "device/platform/WinPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

namespace qtm {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class WinPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* name = std::getenv("QTM_TEST_SILENT_PORT");
        if (name == nullptr || *name == '\0')
            GTEST_SKIP() << "no silent meter is mapped to a port (QTM_TEST_SILENT_PORT)";
        m_name = name;
        PortError error;
        ASSERT_TRUE(m_port.Open(m_name, 115200, &error)) << error.Describe();
    }

    std::string m_name;
    WinPort m_port;
};

TEST_F(WinPortTest, AReadFromASilentPortEndsAtItsTotalTimeOut) {
    // The USB link's time-outs: 64 bytes may take 2 ms each plus 100 ms, 228 ms in all.
    m_port.SetReadTimeouts(ReadTimeouts{100, 2, 100});
    std::uint8_t buffer[64];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer), 0);
    const long long took = MsSince(start);
    EXPECT_GE(took, 200);
    EXPECT_LT(took, 1500);

    // The bus reads whatever is there and returns at once.
    m_port.SetReadTimeouts(ReadTimeouts{});
    start = Clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(MsSince(start), 150);
}

TEST_F(WinPortTest, TheReceiveWaitEndsAtItsTimeOutOrWhenWoken) {
    Clock::time_point start = Clock::now();
    EXPECT_EQ(m_port.WaitEvent(true, 200), WaitOutcome::Timeout);
    EXPECT_GE(MsSince(start), 180);

    std::thread waker([this] {
        std::this_thread::sleep_for(100ms);
        m_port.WakeWaiter();
    });
    start = Clock::now();
    EXPECT_EQ(m_port.WaitEvent(true, 10000), WaitOutcome::Woken);
    EXPECT_LT(MsSince(start), 3000);
    waker.join();
}

TEST_F(WinPortTest, ASecondOpenIsRefusedAsBusyUntilTheFirstCloses) {
    WinPort other;
    PortError error;
    EXPECT_FALSE(other.Open(m_name, 115200, &error));
    EXPECT_EQ(error.kind, PortErrorKind::Busy);
    m_port.Close();
    EXPECT_TRUE(other.Open(m_name, 115200, &error)) << error.Describe();
}

}  // namespace
}  // namespace qtm
