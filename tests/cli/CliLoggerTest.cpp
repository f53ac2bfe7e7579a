// qtm200cli as a logger: readings on their interval's grid, the stats of what was printed,
// daily --log files, the import's machine output and progress, and the program's end on a
// signal or a kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/CliRunner.h"
#include "cli/StepClock.h"
#include "device/SimFixture.h"
#include "device/TempDir.h"
#include "publish/TestBroker.h"
#include "service/JsonText.h"
#include "service/ReadingObject.h"

namespace qtm::cli {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::map<std::string, std::string> JsonLine(const std::string& line) {
    std::map<std::string, std::string> object;
    if (const auto members = ParseFlatJsonObject(line))
        for (const auto& [key, value] : *members)
            object[key] = value;
    return object;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Milliseconds since the epoch of "2026-12-09T10:15:02.123Z".
std::int64_t MillisOf(const std::string& iso) {
    std::tm tm{};
    int millis = 0;
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &millis);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<std::int64_t>(::timegm(&tm)) * 1000 + millis;
}

class CliLoggerTest : public test::SimFixture {
protected:
    int Cli(std::vector<std::string> args, WallTime wallStart = std::chrono::system_clock::now(),
            bool terminal = false, std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
        std::vector<std::string> line{"--no-system-ports", "--port", meter->PortPath()};
        line.insert(line.end(), args.begin(), args.end());
        StepClock clock(wallStart, step);
        std::atomic<bool> stop{false};
        std::ostringstream o;
        std::ostringstream e;
        CliEnvironment environment;
        environment.clock = &clock;
        environment.stop = &stop;
        environment.errIsTerminal = terminal;
        const int status = RunCli(line, o, e, environment);
        out = o.str();
        err = e.str();
        return status;
    }
    std::size_t CountRequests(std::uint8_t code) const {
        const auto codes = RequestCodes();
        return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), code));
    }
    std::string out;
    std::string err;
    test::TempDir dir;
};

TEST_F(CliLoggerTest, IntervalReadingsLieOnTheGridAndStatsSumUpWhatWasPrinted) {
    StartMeter();
    ASSERT_EQ(Cli({"live", "--interval", "2", "--count", "4", "--format", "jsonl", "--stats"}), 0)
        << err;
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u) << out;
    std::vector<double> power;
    std::vector<std::int64_t> millis;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto object = JsonLine(lines[i]);
        EXPECT_EQ(object["n"], std::to_string(i + 1));
        EXPECT_EQ(object["serial"], "24050017");
        power.push_back(std::stod(object["power"]));
        millis.push_back(MillisOf(object["time"]));
        if (i > 0) {
            EXPECT_NEAR(millis[i] - millis[i - 1], 2000, 5) << lines[i];
        }
    }
    // By hand: the trapezoids between the printed readings' times.
    double integral = 0;
    for (std::size_t i = 1; i < power.size(); ++i)
        integral +=
            (power[i] + power[i - 1]) / 2 * static_cast<double>(millis[i] - millis[i - 1]) / 1000;
    double mean = 0;
    for (const double p : power)
        mean += p / 4;
    double squares = 0;
    for (const double p : power)
        squares += (p - mean) * (p - mean);
    const std::regex stats(
        R"(stats: count=4 min=(\S+) max=(\S+) mean=(\S+) sd=(\S+) integral=(\S+) unit=umol/cm²/s\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err, m, stats)) << err;
    EXPECT_NEAR(std::stod(m[1]), *std::min_element(power.begin(), power.end()), 1e-3);
    EXPECT_NEAR(std::stod(m[2]), *std::max_element(power.begin(), power.end()), 1e-3);
    EXPECT_NEAR(std::stod(m[3]), mean, 1e-3);
    EXPECT_NEAR(std::stod(m[4]), std::sqrt(squares / 3), 1e-3);
    EXPECT_NEAR(std::stod(m[5]), integral, 1e-2);
}

TEST_F(CliLoggerTest, AveragedReadingsAreTimedAtTheirIntervalsEnd) {
    StartMeter();
    const WallTime start = std::chrono::system_clock::from_time_t(1'800'000'000);
    // Each look at the clock takes a second here, so an interval sees a few passes.
    ASSERT_EQ(Cli({"live", "--interval", "10", "--average", "--count", "2", "--format", "csv"},
                  start, false, std::chrono::seconds(1)),
              0)
        << err;
    const ReadingTable table = ParseReadingCsv(out);
    ASSERT_EQ(table.rows.size(), 2u) << out << err;
    const std::size_t time = *table.Column("time");
    // The run starts on a whole step; its intervals end 10 s after it and after each other.
    const std::int64_t first = MillisOf(table.rows[0][time]) - 1'800'000'000'000;
    EXPECT_EQ(first % 1000, 0);
    EXPECT_GE(first, 10'000);
    EXPECT_EQ(MillisOf(table.rows[1][time]) - MillisOf(table.rows[0][time]), 10'000);
    EXPECT_GE(CountRequests(0x0D), 4u) << "passes averaged";
}

TEST_F(CliLoggerTest, DatePatternStartsANewLogFileWhenTheDayChanges) {
    StartMeter();
    std::tm evening{};
    evening.tm_year = 2026 - 1900;
    evening.tm_mon = 11;
    evening.tm_mday = 9;
    evening.tm_hour = 23;
    evening.tm_min = 59;
    evening.tm_sec = 58;
    evening.tm_isdst = -1;
    const WallTime start = std::chrono::system_clock::from_time_t(std::mktime(&evening));
    const std::string pattern = (dir.Path() / "meter-%Y-%m-%d.csv").string();
    ASSERT_EQ(Cli({"live", "--interval", "1", "--count", "4", "--log", pattern}, start), 0) << err;
    for (const char* day : {"meter-2026-12-09.csv", "meter-2026-12-10.csv"}) {
        const ReadingTable table = ParseReadingCsv(ReadFile(dir.Path() / day));
        EXPECT_EQ(table.rows.size(), 2u) << day;
        ASSERT_FALSE(table.metadata.empty()) << day;
        EXPECT_EQ(table.metadata.front(),
                  (std::pair<std::string, std::string>{"program", "qtm200cli"}));
    }
}

TEST_F(CliLoggerTest, ImportWritesReadingObjectsAndShowsProgressOnlyToAPerson) {
    qtmsim::MeterConfig config;
    config.records = 45;
    StartMeter(config);
    ASSERT_EQ(Cli({"import", "--format", "jsonl"}), 0) << err;
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 45u);
    EXPECT_EQ(JsonLine(lines[44]).count("time"), 0u) << lines[44];
    EXPECT_EQ(JsonLine(lines[44])["n"], "45");
    EXPECT_EQ(err, "");
    ASSERT_EQ(Cli({"import"}, std::chrono::system_clock::now(), true), 0) << err;
    EXPECT_EQ(err, "\rpage 1 of 3\rpage 2 of 3\rpage 3 of 3\n");
}

TEST_F(CliLoggerTest, LineOfMetersReadsEachInTurnAndNamesTheOneThatNeverAnswers) {
    qtmsim::MeterConfig config;
    config.rs485 = true;
    config.moreAddresses = {2};  // nothing answers at 3
    StartMeter(config);
    EXPECT_EQ(Cli({"--link", "rs485", "--model", "QTX-200P", "--addr", "1-3", "live", "--count",
                   "1", "--format", "jsonl"}),
              1);
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto object = JsonLine(lines[i]);
        EXPECT_EQ(object["address"], i % 2 == 0 ? "1" : "2");
        EXPECT_EQ(object["serial"], i % 2 == 0 ? "24050017" : "24050018");
    }
    EXPECT_EQ(err,
              "qtm200cli: no answer from the meter at address 3 on " + meter->PortPath() +
                  "; the others go on\nqtm200cli: no reading at all from the meter at address 3\n");
    // The text lines say which meter each is.
    EXPECT_EQ(Cli({"--link", "rs485", "--addr", "2,1", "live", "--count", "1"}), 0) << err;
    EXPECT_EQ(Lines(out).at(0).substr(0, 9), "1 addr=2 ");
    EXPECT_EQ(Lines(out).at(1).substr(0, 9), "1 addr=1 ");
}

// The cable is pulled after two passes and a meter is plugged in again a moment later, under
// the name the user gave (a link, as udev's /dev/serial/by-id names are).
TEST_F(CliLoggerTest, KeepGoingWaitsForAPulledMeterAndNumbersOnWhereItLeftOff) {
    StartMeter();
    const auto name = dir.Path() / "meter";
    std::filesystem::create_symlink(meter->PortPath(), name);
    auto run = std::async(std::launch::async, [&] {
        StepClock clock(std::chrono::system_clock::now(), std::chrono::milliseconds(1));
        std::atomic<bool> stop{false};
        std::ostringstream o;
        std::ostringstream e;
        CliEnvironment environment;
        environment.clock = &clock;
        environment.stop = &stop;
        const int status = RunCli({"--no-system-ports", "--port", name.string(), "live",
                                   "--keep-going", "--count", "5", "--format", "jsonl"},
                                  o, e, environment);
        out = o.str();
        err = e.str();
        return status;
    });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (CountRequests(0x27) < 2 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // Unplugged: the meter stops and its name goes away.
    meter->Stop();
    std::filesystem::remove(name);
    // Long enough for the run to find the port gone, short against the test's time.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    qtmsim::SimMeter again{qtmsim::MeterConfig{}};
    ASSERT_TRUE(again.Start());
    std::filesystem::create_symlink(again.PortPath(), name);
    ASSERT_EQ(run.get(), 0) << err;
    const auto lines = Lines(out);
    ASSERT_GE(lines.size(), 4u) << out << err;
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(JsonLine(lines[i])["n"], std::to_string(i + 1));
    EXPECT_TRUE(std::regex_search(err, std::regex("qtm200cli: lost the meter on " + name.string() +
                                                  " at pass \\d: .*; trying again every 5 s\n")))
        << err;
    EXPECT_TRUE(
        std::regex_search(err, std::regex("the meter on " + name.string() +
                                          " is back after \\d+ (s|min \\d+ s|h \\d+ min)\n")))
        << err;
}

// A line of two meters published to a broker: each meter's readings on its own topic, its
// status online then offline, and its discovery configs, all retained but the readings.
TEST_F(CliLoggerTest, LineOfMetersIsPublishedMeterByMeter) {
    qtmsim::MeterConfig config;
    config.rs485 = true;
    config.moreAddresses = {2};
    StartMeter(config);
    test::TestBroker broker(dir.Path(), test::FreeLoopbackPort());
    ASSERT_TRUE(broker.Start());
    test::TestSubscriber subscriber(broker.Port(), {"line/#", "homeassistant/#"});
    ASSERT_TRUE(subscriber.Ready());
    ASSERT_EQ(Cli({"--link", "rs485", "--model", "QTX-200P", "--addr", "1,2", "live", "--count",
                   "1", "--mqtt", "127.0.0.1:" + std::to_string(broker.Port()), "--mqtt-prefix",
                   "line", "--mqtt-discovery"}),
              0)
        << err;
    // Per meter: two configs, online, one reading, offline.
    const auto received = subscriber.WaitFor(10);
    std::map<std::string, std::vector<std::string>> byTopic;
    for (const auto& message : received)
        byTopic[message.topic].push_back(message.payload);
    for (const std::string serial : {"24050017", "24050018"}) {
        EXPECT_EQ(byTopic["line/" + serial + "/status"],
                  (std::vector<std::string>{"online", "offline"}));
        ASSERT_EQ(byTopic["line/" + serial + "/reading"].size(), 1u) << serial;
        EXPECT_EQ(JsonLine(byTopic["line/" + serial + "/reading"][0])["serial"], serial);
        EXPECT_EQ(byTopic["homeassistant/sensor/qtm200_" + serial + "/power/config"].size(), 1u);
    }
}

// The built program under a signal or a kill, as a logger meets them.
class CliLoggerProgramTest : public CliLoggerTest {
protected:
    // Starts qtm200cli with stdout on a pipe and stderr in a file; returns its pid.
    pid_t Start(std::vector<std::string> args) {
        const char* bin = std::getenv("QTM_BIN_DIR");
        const std::string program = std::string(bin ? bin : ".") + "/qtm200cli";
        args.insert(args.begin(), {program, "--no-system-ports", "--port", meter->PortPath()});
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        const std::string errFile = (dir.Path() / "stderr").string();
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            if (::freopen(errFile.c_str(), "w", stderr) == nullptr) ::_exit(126);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        m_out = ::fdopen(fds[0], "r");
        return child;
    }
    // The next line of its standard output, without its end.
    std::string NextLine() {
        char buffer[1024];
        if (std::fgets(buffer, sizeof buffer, m_out) == nullptr) return {};
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        return line;
    }
    std::string Rest() {
        std::string rest;
        char buffer[1024];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_out)) > 0;)
            rest.append(buffer, n);
        std::fclose(m_out);
        return rest;
    }
    FILE* m_out = nullptr;
};

TEST_F(CliLoggerProgramTest, InterruptEndsTheRunWithWholeOutputAndTheSummary) {
    StartMeter();
    const pid_t child = Start({"live", "--format", "csv", "--stats"});
    const std::string header = NextLine();
    EXPECT_EQ(header.substr(0, 7), "n,time,");
    ASSERT_FALSE(NextLine().empty());
    ::kill(child, SIGINT);
    const std::string rest = Rest();
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const ReadingTable table = ParseReadingCsv(header + "\r\n1,x,1,u,0,u,0,0,0,0,s\r\n" + rest);
    EXPECT_TRUE(table.badRows.empty());
    EXPECT_FALSE(table.unendedLastRow);
    EXPECT_TRUE(
        std::regex_search(ReadFile(dir.Path() / "stderr"), std::regex("^stats: count=\\d+ ")));
}

TEST_F(CliLoggerProgramTest, KilledRunKeepsEveryPrintedReadingInItsLog) {
    StartMeter();
    const auto log = dir.Path() / "run.csv";
    const pid_t child = Start({"live", "--format", "jsonl", "--log", log.string()});
    std::vector<std::string> printed;
    for (int i = 0; i < 3; ++i)
        printed.push_back(JsonLine(NextLine())["time"]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    Rest();
    const ReadingTable table = ParseReadingCsv(ReadFile(log));
    ASSERT_GE(table.rows.size(), 3u);
    EXPECT_TRUE(table.badRows.empty());
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(table.rows[i][*table.Column("time")], printed[i]);
}

}  // namespace
}  // namespace qtm::cli
