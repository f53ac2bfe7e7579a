#include "sim/SimMeter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "SimTestFrames.h"

using namespace qtmsim;
using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

// Opens the port as the program does: raw 8N1, no controlling terminal.
int OpenPort(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fd;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Reads until `n` bytes are in or nothing more arrives for `quietMs`.
Bytes ReadReply(int fd, std::size_t n, int quietMs = 500) {
    Bytes out;
    std::uint8_t buffer[512];
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0) break;
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, n - out.size()));
        if (got <= 0) break;
        out.insert(out.end(), buffer, buffer + got);
    }
    return out;
}

Bytes ExchangeOverPort(const std::string& path, const Bytes& request, std::size_t n,
                       int quietMs = 500) {
    const int fd = OpenPort(path);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0) return {};
    EXPECT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    Bytes reply = ReadReply(fd, n, quietMs);
    ::close(fd);
    return reply;
}

// Where qtm200sim was built: QTM_BIN_DIR, or else beside this test program, since
// every executable of the build lands in the same folder.
std::string BinDir() {
    if (const char* dir = std::getenv("QTM_BIN_DIR")) return dir;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    const std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

class RunningSimMeter : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(meter.Start(&error)) << error;
    }
    SimMeter meter{MeterConfig{}};
};

class SimMeterExecutable : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " not built";
    }
    const std::string program = BinDir() + "/qtm200sim";
};

}  // namespace

TEST_F(RunningSimMeter, AnswersOverThePseudoTerminalAcrossCloseAndReopen) {
    ASSERT_EQ(meter.PortPath().rfind("/dev/pts/", 0), 0u);

    for (int round = 0; round < 3; ++round) {
        const Bytes reply = ExchangeOverPort(meter.PortPath(), VkRead(0x01), 16);
        ASSERT_EQ(reply.size(), 16u) << round;
        EXPECT_EQ(std::string(reply.begin() + 6, reply.end()), "QTX-200P  ");
    }
    const auto log = meter.RequestLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].bytes, VkRead(0x01));
    EXPECT_LE(log[0].atSeconds, log[2].atSeconds);
}

TEST_F(RunningSimMeter, RequestLogKeepsTheNewestUpToItsLimit) {
    meter.SetLogLimit(2);
    const Bytes three = Join({VkRead(0x0D), VkRead(0x25), VkRead(0x26)});
    ExchangeOverPort(meter.PortPath(), three, 33);
    const auto log = meter.RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes, VkRead(0x25));
    EXPECT_EQ(log[1].bytes, VkRead(0x26));
}

TEST_F(RunningSimMeter, StreamsTheFittingDataWhole) {
    const Bytes reply = ExchangeOverPort(meter.PortPath(), kFitRead, 5100, 300);
    EXPECT_GT(reply.size(), 1500u);
    EXPECT_EQ(reply.back(), '\n');
}

TEST_F(RunningSimMeter, FaultsAndOverridesChangeWhileServing) {
    meter.SetFault(Fault::Silent);
    EXPECT_TRUE(ExchangeOverPort(meter.PortPath(), VkRead(0x0D), 11, 200).empty());
    meter.SetFault(Fault::None);
    EXPECT_EQ(ExchangeOverPort(meter.PortPath(), VkRead(0x0D), 11).size(), 11u);

    // The hook may look back into the simulator while it decides.
    meter.SetReplyOverride([this](const std::vector<std::uint8_t>& request) {
        const bool power = request[3] == 0x0D && !meter.RequestLog().empty();
        return power ? std::optional<Bytes>(Bytes{1, 2, 3}) : std::nullopt;
    });
    EXPECT_EQ(ExchangeOverPort(meter.PortPath(), VkRead(0x0D), 11, 200), (Bytes{1, 2, 3}));
    EXPECT_EQ(ExchangeOverPort(meter.PortPath(), VkRead(0x25), 11).size(), 11u);
    EXPECT_EQ(meter.RequestLog().size(), 4u);  // unanswered requests are logged too

    meter.WithModel([](MeterModel& m) { m.State().serial = "X9"; });
    const Bytes sn = ExchangeOverPort(meter.PortPath(), VkRead(0x02), 16);
    ASSERT_EQ(sn.size(), 16u);
    EXPECT_EQ(sn[6], 'X');
}

TEST_F(RunningSimMeter, HangUpDropsTheLine) {
    const int fd = OpenPort(meter.PortPath());
    ASSERT_GE(fd, 0);
    meter.SetFault(Fault::HangUp);
    const Bytes request = VkRead(0x0D);
    ASSERT_EQ(::write(fd, request.data(), request.size()), 7);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
    std::uint8_t b;
    EXPECT_LE(::read(fd, &b, 1), 0);
    ::close(fd);
    EXPECT_LT(::open(meter.PortPath().c_str(), O_RDWR | O_NOCTTY), 0);
    EXPECT_FALSE(meter.IsServing());
    meter.Stop();
}

TEST_F(RunningSimMeter, StopReturnsPromptlyAndTwice) {
    const int fd = OpenPort(meter.PortPath());  // a client still holding the port
    const auto before = Clock::now();
    meter.Stop();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
    meter.Stop();
    EXPECT_FALSE(meter.IsServing());
    if (fd >= 0) ::close(fd);
}

TEST_F(SimMeterExecutable, PrintsItsPortServesAndStopsOnSigterm) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execl(program.c_str(), program.c_str(), "--records", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::FILE* out = ::fdopen(pipeFds[0], "r");
    char line[256] = {};
    const bool gotLine = out && std::fgets(line, sizeof line, out) != nullptr;
    const std::string first(line);
    std::string path;
    if (first.rfind("port: /dev/pts/", 0) == 0) path = first.substr(6, first.find('\n') - 6);
    Bytes usage;
    if (!path.empty()) usage = ExchangeOverPort(path, VkRead(0x1F), 12);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (out) std::fclose(out);

    ASSERT_TRUE(gotLine);
    ASSERT_FALSE(path.empty()) << first;
    ASSERT_EQ(usage.size(), 12u);
    EXPECT_EQ(usage[6], 2);  // 30 records are two pages
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(SimMeterExecutable, BadArgumentsExitWithTwoAndHelpWithZero) {
    struct Case {
        const char* arguments;
        int status;
        bool usageOnStdout;
    };
    for (const Case& c : {Case{" --fault never", 2, false}, Case{" --help", 0, true},
                          Case{" --rs485 -h", 0, true}}) {
        SCOPED_TRACE(c.arguments);
        const std::string command = program + c.arguments + " 2>/dev/null";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        const int status = ::pclose(pipe);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_EQ(out.rfind("usage: qtm200sim", 0) == 0, c.usageOnStdout) << out;
        // Serves nothing: no line names a port.
        EXPECT_NE(out.rfind("port:", 0), 0u);
        EXPECT_EQ(out.find("\nport:"), std::string::npos);
    }
}

// A bad argument gets one line naming it and a pointer to --help on standard error, not the
// whole usage; --version one line on standard output.
TEST_F(SimMeterExecutable, BadArgumentGetsTwoLinesAndVersionOne) {
    auto run = [this](const std::string& arguments, const char* redirect) {
        std::FILE* pipe = ::popen((program + arguments + redirect).c_str(), "r");
        std::string text;
        char buffer[256];
        while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            text += buffer;
        const int status = pipe != nullptr ? ::pclose(pipe) : -1;
        return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    };
    EXPECT_EQ(run(" --records 12x", " 2>&1 >/dev/null"),
              std::pair(2, std::string("qtm200sim: --records is a count 0 to 983025\n"
                                       "try 'qtm200sim --help'\n")));
    const auto [status, version] = run(" --version", " 2>/dev/null");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(qtm200sim [0-9]+\.[0-9]+(\.[0-9]+)*\n)")))
        << version;
}
