#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/CliRunner.h"
#include "device/SimFixture.h"

namespace qtm::cli {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun RunLine(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCli(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A simulated meter the test starts itself, so it can shape its replies and read its
// request log; the CLI is pointed at it with --no-system-ports --port.
class CliAgainstMeterTest : public test::SimFixture {
protected:
    CliRun Cli(std::vector<std::string> args) {
        std::vector<std::string> line{"--no-system-ports", "--port", meter->PortPath()};
        line.insert(line.end(), args.begin(), args.end());
        return RunLine(line);
    }
    std::size_t CountRequests(std::uint8_t code) const {
        const auto codes = RequestCodes();
        return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), code));
    }
};

const std::regex kUsbLiveLine(
    R"(^\d+ P=-?[0-9.]+ \S+ E=-?[0-9.]+ \S+ T=-?\d+\.\d V=-?\d+\.\d{3} AD=-?\d+ t=-?\d+\.\d$)");
const std::regex kBusLiveLine(
    R"(^\d+ P=-?[0-9.]+ \S+ T=-?\d+\.\d V=-?\d+\.\d{3} AD=-?\d+ zero=-?\d+\.\d{3} )"
    R"(cal=-?\d+\.\d{3} calk=-?\d+\.\d{3} k=-?\d+\.\d{3}$)");

TEST(CliLineTest, UsbLiveLineScalesPowerAndNarrowsEnergy) {
    const LiveValues v{.power = 12345.6f,
                       .energy = 123456.78,
                       .energyTimeTenths = 12345,
                       .temperature = 24.5f,
                       .voltage = 1.25f,
                       .ad = 10187.4f};
    EXPECT_EQ(FormatUsbLiveLine(3, v, "QTX-210UVA"),
              "3 P=12.346 mW/cm2 E=123.46 J/cm2 T=24.5 V=1.250 AD=10187 t=1234.5");
    EXPECT_EQ(FormatUsbLiveLine(1, {}, "QTM-200"), "1 P=0 lx E=0 lx.s T=0.0 V=0.000 AD=0 t=0.0");
}

TEST(CliLineTest, BusLiveLineCarriesTheBlockValues) {
    const BusLiveValues v{.zero = 8000.0f,
                          .cal = 2.5f,
                          .calK = 1.125f,
                          .k = 0.75f,
                          .power = 2500000.0f,
                          .ad = 41000.0f,
                          .voltage = 3.5f,
                          .temperature = -5.25f};
    EXPECT_EQ(FormatBusLiveLine(2, v, "QTX-200LP"),
              "2 P=2.5000 W T=-5.2 V=3.500 AD=41000 zero=8000.000 cal=2.500 calk=1.125 k=0.750");
    EXPECT_EQ(FormatNoReadingLine(7), "7 no reading");
}

TEST(CliLineTest, StorageCountsFifteenRecordsPerPage) {
    EXPECT_EQ(FormatStorageLine(0), "storage: 0/7500");
    EXPECT_EQ(FormatStorageLine(500), "storage: 7500/7500");
    EXPECT_EQ(FormatStorageLine(501), "storage: 7515/7500");
    EXPECT_EQ(FormatStorageLine(65535), "storage: 983025/7500");
}

TEST(CliLineTest, OpenFailuresSayWhatToDo) {
    PortError error;
    error.path = "/dev/ttyUSB0";
    const std::pair<PortErrorKind, const char*> cases[] = {
        {PortErrorKind::NotFound, "does not exist"},
        {PortErrorKind::PermissionDenied, "dialout"},
        {PortErrorKind::Busy, "in use"},
        {PortErrorKind::NotATerminal, "not a serial port"},
        {PortErrorKind::Other, "cannot be opened"},
    };
    for (const auto& [kind, words] : cases) {
        error.kind = kind;
        const std::string text = DescribeOpenFailure(error);
        EXPECT_NE(text.find(words), std::string::npos) << text;
        EXPECT_NE(text.find("/dev/ttyUSB0"), std::string::npos) << text;
    }
}

TEST(CliUsageTest, BadArgumentsGetOneLineNamingThemAndAHintAndExitTwo) {
    const struct {
        std::vector<std::string> args;
        const char* named;  // what the line must name
    } cases[] = {
        {{}, "no command"},
        {{"bogus"}, "bogus"},
        {{"--addr", "300", "info"}, "--addr"},
        {{"--link", "rs485", "info"}, "--link rs485"},
        {{"--link", "rs485", "live"}, "--link rs485"},
        {{"live", "--frobnicate"}, "--frobnicate"},
        {{"scan", "--count", "3"}, "--count"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        const CliRun run = RunLine(c.args);
        EXPECT_EQ(run.status, 2);
        const auto lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 2u) << run.err;
        EXPECT_EQ(lines[0].rfind("qtm200cli: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(c.named), std::string::npos) << lines[0];
        EXPECT_EQ(lines[1], "try 'qtm200cli --help'");
        EXPECT_TRUE(run.out.empty());
    }
    for (const char* help : {"--help", "-h"}) {
        const CliRun run = RunLine({"--port", "/dev/ttyUSB0", help, "bogus"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("usage: qtm200cli", 0), 0u) << run.out;
        EXPECT_TRUE(run.err.empty());
    }
}

TEST(CliPortsTest, ListsGivenPortsThenTheSimulatorOnly) {
    const CliRun run = RunLine({"--no-system-ports", "--port", "/dev/qtm-a", "--port", "/dev/qtm-b",
                                "--simulate", "ports"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0], "/dev/qtm-a  does not exist");
    EXPECT_EQ(lines[1], "/dev/qtm-b  does not exist");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("/dev/pts/[0-9]+  simulated meter")))
        << lines[2];
}

TEST(CliScanTest, BuiltInSimulatorNamesItselfAfterItsFamily) {
    const CliRun qtx = RunLine({"--no-system-ports", "--simulate", "scan"});
    EXPECT_EQ(Lines(qtx.out).at(1), "model: QTX-200P") << qtx.err;
    const CliRun qtm = RunLine({"--no-system-ports", "--simulate", "--family", "qtm300", "scan"});
    EXPECT_EQ(Lines(qtm.out).at(1), "model: QTM300    ") << qtm.err;
}

TEST(CliScanTest, BuiltInSimulatorHasReadingsStored) {
    const CliRun run = RunLine({"--no-system-ports", "--simulate", "memory"});
    EXPECT_EQ(run.out, "storage: 300/7500\n") << run.err;
}

TEST(CliPortsTest, ListingNeedsNoBusPort) {
    const CliRun run = RunLine({"--link", "rs485", "--no-system-ports", "ports"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty());
}

TEST_F(CliAgainstMeterTest, UsbOnlyCommandsOnTheBusFailWithoutSendingAnything) {
    // Well-formed command lines whose operation the bus does not offer: a failure
    // (status 1) with a sentence, not a usage error; scan keeps its first line.
    StartMeter({.rs485 = true});
    const CliRun scan = Cli({"--link", "rs485", "scan"});
    EXPECT_EQ(scan.status, 1);
    EXPECT_EQ(Lines(scan.err).at(0), "qtm200cli: no meter found");
    EXPECT_NE(scan.err.find("USB link only"), std::string::npos) << scan.err;

    const CliRun memory = Cli({"--link", "rs485", "memory"});
    EXPECT_EQ(memory.status, 1);
    EXPECT_EQ(memory.err, "qtm200cli: the record memory can be read over the USB link only\n");
    EXPECT_TRUE(scan.out.empty() && memory.out.empty());
    EXPECT_TRUE(meter->RequestLog().empty());
}

TEST_F(CliAgainstMeterTest, ScanPrintsPortAndModel) {
    StartMeter({.model = "QTX-210LM"});
    const CliRun run = Cli({"scan"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "port: " + meter->PortPath() + "\nmodel: QTX-210LM\n");
}

TEST_F(CliAgainstMeterTest, MeterThatDoesNotAnswerRightIsNotFound) {
    const std::pair<qtmsim::Fault, const char*> cases[] = {{qtmsim::Fault::Silent, "scan"},
                                                           {qtmsim::Fault::Garbage, "memory"}};
    for (const auto& [fault, command] : cases) {
        SCOPED_TRACE(command);
        StartMeter({.fault = fault});
        const CliRun run = Cli({command});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "qtm200cli: no meter found\n");
        EXPECT_TRUE(run.out.empty());
        EXPECT_EQ(CountRequests(0x01), 10u);  // ten identification rounds
    }
}

TEST(CliMissingPortTest, SaysWhichPortIsMissing) {
    const CliRun run = RunLine({"--no-system-ports", "--port", "/dev/qtm-test-missing", "scan"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "qtm200cli: no meter found\n"
              "qtm200cli: the serial port /dev/qtm-test-missing does not exist\n");

    const CliRun bus =
        RunLine({"--link", "rs485", "--port", "/dev/qtm-test-missing", "live", "--count", "1"});
    EXPECT_EQ(bus.status, 1);
    EXPECT_EQ(bus.err, "qtm200cli: the serial port /dev/qtm-test-missing does not exist\n");
    EXPECT_TRUE(bus.out.empty());
}

TEST_F(CliAgainstMeterTest, InfoPrintsEverySettingAsRead) {
    StartMeter({.model = "QTX-200L",
                .serial = "SN 7",
                .band = "380-780nm",
                .range = "0-200000",
                .calValue = 2.125f,
                .k = 0.875f,
                .saveGap = 60});
    const CliRun run = Cli({"info"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "model: QTX-200L\nsn: SN 7      \nband: 380-780nm\nrange: 0-200000\n"
              "cal: 2.125\nsavetime: 60\nk: 0.875\n");
}

TEST_F(CliAgainstMeterTest, InfoOfAQtm300ShowsTheInformationBlock) {
    StartMeter({.model = "QTM300", .family = qtmsim::Family::Qtm300});
    meter->SetReplyOverride(
        [](const std::vector<std::uint8_t>& request) -> std::optional<std::vector<std::uint8_t>> {
            if (request.size() != 12) return std::nullopt;
            std::vector<std::uint8_t> block(90, 0);
            const std::string text = "QTM300 SN:1";
            std::copy(text.begin(), text.end(), block.begin());
            return block;
        });
    const CliRun run = Cli({"--family", "qtm300", "info"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "model: QTM300    \ninfo: QTM300 SN:1" + std::string(79, ' ') + "\n");
}

TEST_F(CliAgainstMeterTest, BusInfoReadsTheParameterRegisters) {
    StartMeter({.model = "QTX-220B", .rs485 = true, .address = 9, .serial = "3000000001"});
    const CliRun run = Cli({"--link", "rs485", "--addr", "9", "info"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "sn: 3000000001\nmodel: QTX-220B\n");

    const CliRun wrongAddress = Cli({"--link", "rs485", "--addr", "3", "info"});
    EXPECT_EQ(wrongAddress.status, 1);
    EXPECT_EQ(wrongAddress.err, "qtm200cli: param read failed\n");
    EXPECT_TRUE(wrongAddress.out.empty());
}

TEST_F(CliAgainstMeterTest, MemoryShowsUsedRecords) {
    StartMeter({.records = 100});  // seven pages
    const CliRun run = Cli({"memory"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "storage: 105/7500\n");
}

TEST_F(CliAgainstMeterTest, LiveNumbersPassesAndSkipsAFailedPowerRead) {
    StartMeter({.model = "QTX-200LP"});
    int powerRequests = 0;
    meter->SetReplyOverride([&powerRequests](const std::vector<std::uint8_t>& request)
                                -> std::optional<std::vector<std::uint8_t>> {
        // The second power request goes unanswered.
        if (request.size() == 7 && request[3] == 0x0D && ++powerRequests == 2)
            return std::vector<std::uint8_t>{};
        return std::nullopt;
    });
    const CliRun run = Cli({"live", "--count", "3"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_TRUE(std::regex_match(lines[0], kUsbLiveLine)) << lines[0];
    EXPECT_EQ(lines[0].rfind("1 P=", 0), 0u);
    EXPECT_EQ(lines[1], "2 no reading");
    EXPECT_TRUE(std::regex_match(lines[2], kUsbLiveLine)) << lines[2];
    EXPECT_EQ(lines[2].rfind("3 P=", 0), 0u);
    // Laser power units: uW, mW or W for power, mJ, J or kJ for energy.
    EXPECT_TRUE(std::regex_search(lines[0], std::regex(R"( (u|m)?W E=\S+ k?(m)?J )"))) << lines[0];
    EXPECT_EQ(CountRequests(0x0D), 3u);
    EXPECT_EQ(CountRequests(0x1F), 0u);  // no storage read in a pass
}

TEST_F(CliAgainstMeterTest, ModelOptionChoosesTheUnits) {
    StartMeter();  // a PPFD meter
    const CliRun run = Cli({"--model", "QTX-210PAR", "live", "--count", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(^1 P=\S+ k?lx E=\S+ k?lx\.s )")))
        << run.out;
}

TEST_F(CliAgainstMeterTest, MeterThatNeverGivesPowerGivesNoReadingsAndFails) {
    StartMeter();
    meter->SetReplyOverride(
        [](const std::vector<std::uint8_t>& request) -> std::optional<std::vector<std::uint8_t>> {
            if (request.size() == 7 && request[3] == 0x0D) return std::vector<std::uint8_t>{};
            return std::nullopt;
        });
    const CliRun run = Cli({"live", "--count", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "1 no reading\n2 no reading\n");
    EXPECT_FALSE(run.err.empty());
}

TEST_F(CliAgainstMeterTest, BusLivePrintsTheBlock) {
    StartMeter({.rs485 = true, .address = 4});
    const CliRun run = Cli({"--link", "rs485", "--addr", "4", "live", "--count", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_TRUE(std::regex_match(lines[0], kBusLiveLine)) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], kBusLiveLine)) << lines[1];
    EXPECT_EQ(lines[1].rfind("2 P=", 0), 0u);
}

TEST_F(CliAgainstMeterTest, BusLiveWithBadCrcGivesUpAfterTheFirstPass) {
    StartMeter({.rs485 = true, .fault = qtmsim::Fault::BadCrc});
    const CliRun run = Cli({"--link", "rs485", "--model", "QTX-200P", "live", "--count", "5"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "1 no reading\n");
    EXPECT_EQ(run.err, "qtm200cli: lost the meter on " + meter->PortPath() +
                           " at pass 1: the meter stopped answering (no valid reply in three "
                           "attempts); 1 of 1 pass gave no reading\n");
    EXPECT_EQ(meter->RequestLog().size(), 3u);  // three attempts, then no second pass
}

TEST_F(CliAgainstMeterTest, BusLiveTakesTheUnitsFromTheModelRegister) {
    StartMeter({.model = "QTX-210UVA", .rs485 = true});
    const CliRun run = Cli({"--link", "rs485", "live", "--count", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(^1 P=\S+ (u|m)?W/cm2 )"))) << run.out;
    ASSERT_FALSE(meter->RequestLog().empty());
    EXPECT_EQ(meter->RequestLog().front().bytes[2], 0xFC);  // the model register comes first
}

// Another program that tries, again and again during a run, to take the port as such
// programs do (open it, lock it): the run holds the port from start to end, so every try
// is refused and the run completes.
TEST_F(CliAgainstMeterTest, SecondProgramIsRefusedWhileALiveRunHoldsThePort) {
    StartMeter();
    auto run = std::async(std::launch::async, [this] { return Cli({"live", "--count", "8"}); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (CountRequests(0x0D) < 1 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::string port = meter->PortPath();
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        int taken = 0;
        for (int attempt = 0; attempt < 500; ++attempt) {
            const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ++taken;
            if (fd >= 0) ::close(fd);
            ::usleep(2000);
        }
        ::_exit(std::min(taken, 100));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const CliRun done = run.get();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "times the other program got the port";
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 8u) << done.out;
    EXPECT_GE(CountRequests(0x0D), 8u);
}

// Runs `live --count 50` and stops the simulator once it has had `passes` live requests
// of the given kind, as a user pulling the cable would.
class CliMeterLostTest : public CliAgainstMeterTest {
protected:
    CliRun LiveUntilStopped(std::vector<std::string> args, bool bus, std::size_t passes) {
        auto run = std::async(std::launch::async, [this, args] { return Cli(args); });
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (LiveRequests(bus) < passes && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        meter->Stop();
        return run.get();
    }
    std::size_t LiveRequests(bool bus) const {
        std::size_t n = 0;
        for (const auto& r : meter->RequestLog()) {
            if (bus ? r.bytes.size() == 8 && r.bytes[2] == 0xE0
                    : r.bytes.size() == 7 && r.bytes[3] == 0x0D)
                ++n;
        }
        return n;
    }
};

TEST_F(CliMeterLostTest, UsbRunEndsWithOneSentenceAndKeepsItsReadings) {
    StartMeter();
    const CliRun run = LiveUntilStopped({"live", "--count", "50"}, false, 3);
    EXPECT_EQ(run.status, 1);
    const auto lines = Lines(run.out);
    ASSERT_GE(lines.size(), 3u) << run.out;
    ASSERT_LT(lines.size(), 10u) << run.out;
    EXPECT_TRUE(std::regex_match(lines[0], kUsbLiveLine)) << lines[0];
    EXPECT_TRUE(std::regex_match(
        run.err, std::regex("qtm200cli: lost the meter on " + meter->PortPath() + " at pass " +
                            std::to_string(lines.size()) +
                            R"(: the port (is gone|can no longer be opened \([^)]+\)); \d of )" +
                            std::to_string(lines.size()) + " passes gave no reading\n")))
        << run.err;
}

TEST_F(CliMeterLostTest, BusRunEndsWithOneSentenceAndKeepsItsReadings) {
    StartMeter({.rs485 = true});
    const CliRun run = LiveUntilStopped(
        {"--link", "rs485", "--model", "QTX-200P", "live", "--count", "50"}, true, 2);
    EXPECT_EQ(run.status, 1);
    const auto lines = Lines(run.out);
    ASSERT_GE(lines.size(), 2u) << run.out;
    ASSERT_LT(lines.size(), 5u) << run.out;
    EXPECT_TRUE(std::regex_match(lines[0], kBusLiveLine)) << lines[0];
    EXPECT_EQ(lines.back(), std::to_string(lines.size()) + " no reading");
    EXPECT_TRUE(std::regex_match(
        run.err, std::regex("qtm200cli: lost the meter on " + meter->PortPath() + " at pass " +
                            std::to_string(lines.size()) +
                            R"(: the (port stopped working|meter stopped answering) \([^)]+\); )"
                            R"(1 of \d passes gave no reading\n)")))
        << run.err;
}

}  // namespace
}  // namespace qtm::cli
