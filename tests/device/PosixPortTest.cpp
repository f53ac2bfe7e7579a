// The POSIX port layer over real pseudo-terminals: why opens fail, read time-outs,
// ReadExact's limits and the RS-485 watch thread.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <array>
#include <chrono>
#include <fstream>
#include <thread>

#include "PtyPair.h"
#include "TempDir.h"
#include "device/CRS485Serial.h"
#include "device/Serial.h"
#include "device/platform/PosixPort.h"

namespace qtm {
namespace {

using test::PtyPair;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

TEST(PosixPortTest, OpenFailuresAreToldApart) {
    test::TempDir dir;
    const std::string plain = (dir.Path() / "not-a-tty").string();
    std::ofstream(plain) << "x";
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixPort holder;
    ASSERT_TRUE(holder.Open(pty.Path(), 115200, nullptr));

    struct Case {
        const char* what;
        std::string path;
        int baud;
        PortErrorKind kind;
    };
    const Case cases[] = {
        {"missing", (dir.Path() / "ttyUSB9").string(), 115200, PortErrorKind::NotFound},
        {"regular file", plain, 115200, PortErrorKind::NotATerminal},
        {"held by another handle", pty.Path(), 115200, PortErrorKind::Busy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Serial serial;
        EXPECT_EQ(serial.OpenPort(c.path, c.baud), 0);
        EXPECT_FALSE(serial.IsOpen());
        EXPECT_EQ(serial.LastOpenError().kind, c.kind);
        EXPECT_EQ(serial.LastOpenError().path, c.path);
        EXPECT_FALSE(serial.LastOpenError().Describe().empty());
    }
    holder.Close();
    PtyPair other;
    Serial serial;
    EXPECT_EQ(serial.OpenPort(other.Path(), 12345), 0);  // no such line speed
    EXPECT_EQ(serial.LastOpenError().kind, PortErrorKind::Other);
}

TEST(PosixPortTest, PortOfAnotherUserIsPermissionDenied) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a port that belongs to another user";
    // As root, try from a child that has dropped to nobody: root's pty is not theirs.
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ::chmod(pty.Path().c_str(), 0600);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        PosixPort port;
        PortError error;
        const bool opened = port.Open(pty.Path(), 115200, &error);
        ::_exit(opened ? 101 : static_cast<int>(error.kind));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(PortErrorKind::PermissionDenied));
}

// What opening a path gives: the error kind, or 101 when it opened.
int OpenKind(const std::string& path) {
    PosixPort port;
    PortError error;
    return port.Open(path, 115200, &error) ? 101 : static_cast<int>(error.kind);
}

TEST(PosixPortTest, RefusedRegularFileIsNotASerialPort) {
    // The dialout group would not help here, so the kind must not send the user there.
    test::TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const std::string path = (dir.Path() / "locked").string();
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), ::geteuid() == 0 ? 0600 : 0);
    const int notATerminal = static_cast<int>(PortErrorKind::NotATerminal);
    if (::geteuid() != 0) {
        EXPECT_EQ(OpenKind(path), notATerminal);
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        ::_exit(OpenKind(path));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), notATerminal);
}

TEST(PosixPortTest, CloseThenReopenWorksWhileTheLineStaysUp) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Serial serial;
    EXPECT_EQ(serial.ClosePort(), 1);  // closing a closed port is fine
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(serial.OpenPort(pty.Path(), 115200), 1) << serial.LastOpenError().Describe();
        const std::uint8_t request[] = {'V', 'K', 0x42};
        EXPECT_EQ(serial.WriteBytes(request, sizeof request), 1);
        EXPECT_EQ(pty.Receive(1000), (std::vector<std::uint8_t>{'V', 'K', 0x42}));
        EXPECT_EQ(serial.ClosePort(), 1);
        EXPECT_FALSE(serial.IsOpen());
    }
}

TEST(PosixPortTest, ReadEndsAtIntervalAfterLastByteOrWithNothing) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Serial serial;
    ASSERT_EQ(serial.OpenPort(pty.Path(), 115200), 1);
    std::uint8_t buffer[16] = {};
    // Nothing arrives: the total time-out (2 * 16 + 100 ms) ends the read with 0.
    EXPECT_EQ(serial.ReadBytes(buffer, sizeof buffer), 0);
    // Three bytes arrive and then nothing: the read ends with those three.
    ASSERT_TRUE(pty.Send({1, 2, 3}));
    const auto start = Clock::now();
    EXPECT_EQ(serial.ReadBytes(buffer, sizeof buffer), 3);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(buffer[2], 3);
    // The whole count ends the read without waiting for a time-out.
    ASSERT_TRUE(pty.Send({4, 5}));
    EXPECT_EQ(serial.ReadBytes(buffer, 2), 2);
    // A hung-up line fails the read instead of hanging it.
    pty.CloseMaster();
    EXPECT_EQ(serial.ReadBytes(buffer, sizeof buffer), -1);
}

TEST(PosixPortTest, OpeningFlushesBytesLeftFromAnEarlierReply) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(pty.Send({9, 9, 9}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Serial serial;
    ASSERT_EQ(serial.OpenPort(pty.Path(), 115200), 1);
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(serial.ReadBytes(buffer, sizeof buffer), 0);
}

// A bus port opened on a fresh pseudo-terminal; the test plays the meter.
class BusOnPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(bus.Open(pty.Path(), 115200)) << bus.LastOpenError().Describe();
    }
    PtyPair pty;
    CRS485Serial bus;
};
using ReadExactTest = BusOnPtyTest;
using WatchThreadTest = BusOnPtyTest;

TEST_F(ReadExactTest, LimitsOfOneCall) {
    std::vector<std::uint8_t> buffer(5121);
    EXPECT_EQ(CRS485Serial().ReadExact(buffer.data(), 8), 0);  // not open
    EXPECT_EQ(bus.ReadExact(buffer.data(), 5121), 0);
    EXPECT_EQ(bus.LastReadPolls(), 0);
    EXPECT_EQ(bus.ReadExact(buffer.data(), 0), 0);

    std::vector<std::uint8_t> big(5120);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    // More than the line holds at once: the meter's side keeps feeding while we read.
    std::thread feeder([&] { pty.Send(big); });
    EXPECT_EQ(bus.ReadExact(buffer.data(), 5120), 5120);
    feeder.join();
    EXPECT_TRUE(std::equal(big.begin(), big.end(), buffer.begin()));
}

TEST_F(ReadExactTest, SilenceGivesUpAfterOneHundredPlusNPolls) {
    std::uint8_t buffer[8];
    ASSERT_TRUE(pty.Send({1, 2, 3}));  // a short reply changes nothing
    EXPECT_EQ(bus.ReadExact(buffer, 8), 0);
    EXPECT_EQ(bus.LastReadPolls(), 108);
}

TEST_F(ReadExactTest, HungUpLineEndsTheReadAtOnceAndIsToldFromSilence) {
    std::array<std::uint8_t, 4> data{};
    EXPECT_EQ(bus.ReadExact(data.data(), 4), 0);  // silent meter
    EXPECT_FALSE(bus.PortFailed());
    pty.CloseMaster();  // the adapter is pulled out
    EXPECT_EQ(bus.ReadExact(data.data(), 4), 0);
    EXPECT_TRUE(bus.PortFailed());
    EXPECT_EQ(bus.LastReadPolls(), 1);  // no hundred polls of a dead line
    EXPECT_EQ(bus.ReadHoldingRegisters(1, 0xFC79, 2, data), 0);
    EXPECT_TRUE(bus.PortFailed());
}

TEST_F(ReadExactTest, BytesArrivingInPiecesAreCollected) {
    std::thread meter([&] {
        pty.Send({1, 2});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Send({3, 4, 5});
    });
    std::uint8_t buffer[5] = {};
    EXPECT_EQ(bus.ReadExact(buffer, 5), 5);
    meter.join();
    EXPECT_EQ(buffer[4], 5);
    EXPECT_LT(bus.LastReadPolls(), 105);
}

TEST_F(WatchThreadTest, RunsWhileOpenAndEndsOnClose) {
    CRS485Serial().Close();  // closing a port never opened does nothing
    EXPECT_TRUE(bus.WatchThreadRunning());
    // Opening again closes the first port and starts afresh on the second.
    PtyPair second;
    ASSERT_TRUE(second.Ok());
    ASSERT_TRUE(bus.Open(second.Path(), 9600));
    EXPECT_TRUE(bus.IsOpen());
    EXPECT_TRUE(bus.WatchThreadRunning());
    EXPECT_EQ(bus.PortName(), second.Path());
    EXPECT_EQ(bus.BaudRate(), 9600);
    Serial other;
    EXPECT_EQ(other.OpenPort(pty.Path(), 115200), 1);  // the first port was let go
    bus.Close();
    EXPECT_FALSE(bus.IsOpen());
    EXPECT_FALSE(bus.WatchThreadRunning());
    EXPECT_EQ(bus.WatchThreadResult(), 0);
}

TEST_F(WatchThreadTest, DoesNotSpinWhileBytesWaitUnread) {
    ASSERT_TRUE(pty.Send({1, 2, 3, 4}));
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // A spinning thread would burn close to the whole half second.
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.05);
    EXPECT_TRUE(bus.WatchThreadRunning());
    bus.Close();  // even with bytes left unread
    EXPECT_FALSE(bus.WatchThreadRunning());
}

}  // namespace
}  // namespace qtm
