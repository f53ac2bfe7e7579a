#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliServiceCommands.h"
#include "cli/CliServiceFixture.h"
#include "device/ModbusFrame.h"
#include "device/SimFixture.h"
#include "device/TempDir.h"
#include "device/VkBytes.h"
#include "service/ServiceLog.h"

namespace qtm::cli {
namespace {

using test::Vk;

TEST(CliServiceSyntaxTest, GoodLinesParseIntoCommandAndArguments) {
    struct Case {
        std::vector<std::string> args;
        Command command;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {{"set", "model", "QTX-200L"}, Command::Set, {"model", "QTX-200L"}},
        {{"set", "band", ""}, Command::Set, {"band", ""}},
        {{"set", "savetime", "12.9"}, Command::Set, {"savetime", "12.9"}},
        {{"--link", "rs485", "set", "addr", "5"}, Command::Set, {"addr", "5"}},
        {{"set", "energy", "pause"}, Command::Set, {"energy", "pause"}},
        {{"formula", "1.5", "-2", "-.5", "3e-6", "7"},
         Command::Formula,
         {"1.5", "-2", "-.5", "3e-6", "7"}},
        {{"calk", "0"}, Command::Calk, {"0"}},  // refused when run, not as bad syntax
        {{"fit", "read"}, Command::Fit, {"read"}},
        {{"zerocal"}, Command::Zerocal, {}},
        {{"--family", "qtm300", "udisk"}, Command::Udisk, {}},
        {{"restore", "b.txt", "--addr", "3"}, Command::Restore, {"b.txt"}},
        {{"restore", "--force", "b.txt"}, Command::Restore, {"b.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        const ParseResult r = ParseCommandLine(c.args);
        ASSERT_TRUE(r.options) << r.error;
        EXPECT_EQ(r.options->command, c.command);
        EXPECT_EQ(r.options->arguments, c.arguments);
    }
}

TEST(CliServiceSyntaxTest, BadLinesAreRefusedBeforeAnythingRuns) {
    const std::vector<std::vector<std::string>> bad = {
        {"set"},
        {"set", "colour", "red"},
        {"set", "model"},
        {"set", "k", "1,5"},
        {"set", "cal", "nan"},
        {"set", "energy", "run"},
        {"set", "addr", "5"},  // the address register needs the bus
        {"--link", "rs485", "set", "addr", "0"},
        {"--link", "rs485", "set", "addr", "2.5"},
        {"formula", "1", "2", "3", "4"},
        {"formula", "1", "2", "3", "4", "x"},
        {"fit", "go"},
        {"calk"},
        {"backup"},
        {"udisk"},  // a QTM300 command
        {"zero", "now"},
        {"set", "k", "-x"},
        {"set", "k", "1", "--force"},  // --force is for restore alone
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.back());
        const ParseResult r = ParseCommandLine(args);
        EXPECT_FALSE(r.options);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(CliServiceSyntaxTest, FitLinesCarryEveryPairAndTheFormula) {
    FitPairs pairs{};
    pairs[0] = {25.5f, 123456.0f};
    const std::string text = FormatFitLines(pairs, {1.5, 2, 0.5, 3, 7});
    EXPECT_EQ(text.substr(0, 35), "pair 1: T=25.500 AD=123456.000\npair");
    EXPECT_NE(text.find("\npair 50: T=0.000 AD=0.000\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("formula")),
              "formula: c4=1.50000 c3=2.00000 c2=0.50000 c1=3.00000 c0=7.00000\n");
}

TEST_F(CliServiceTest, ZeroValuesAreRefusedWithNothingSent) {
    StartMeter();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"calk", "0"}, {"calk", "0.0"}, {"formula", "1", "2", "0", "4", "5"}}) {
        const Run run = Cli(args);
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_NE(run.err.find("nothing was sent"), std::string::npos);
    }
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Backups(), 0u);
}

TEST_F(CliServiceTest, WritesSaveABackupFirstThenSendTheMeterBytes) {
    StartMeter();
    const Run run = Cli({"set", "k", "1.5"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.rfind("backup: ", 0), 0u);
    EXPECT_EQ(Backups(), 1u);
    // The identification of the scan, the backup's reads, then the K write last.
    EXPECT_EQ(Requests().back(), Vk({0x43, 0x0F, 0x04, 0x00, 0x00, 0x00, 0xC0, 0x3F, 0x00}));
    meter->ClearLog();
    ASSERT_EQ(Cli({"calk", "3.99"}).status, kExitOk);
    EXPECT_EQ(Requests().back(), Vk({0x43, 0x43, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
    meter->ClearLog();
    ASSERT_EQ(Cli({"fit", "start"}).status, kExitOk);
    EXPECT_EQ(Requests().back(), Vk({0x43, 0x46, 0x01, 0x00, 0x30, 0x00}));
}

TEST_F(CliServiceTest, NoBackupNoWrite) {
    StartMeter();
    // A file where the backup folder should go: the backup fails, and the write never leaves.
    std::ofstream(data.Path() / "QTM200Debug") << "in the way";
    const Run run = Cli({"set", "savetime", "12.9"});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_NE(run.err.find("nothing was written"), std::string::npos);
    for (const Bytes& r : Requests())
        EXPECT_NE(r[2], kVkWrite);  // reads only
}

TEST_F(CliServiceTest, BackupAndRestoreGiveTheMeterItsValuesBack) {
    StartMeter({.calValue = 2.75f, .saveGap = 3});
    const std::string file = (data.Path() / "meter.txt").string();
    ASSERT_EQ(Cli({"backup", file}).status, kExitOk);
    ASSERT_EQ(Cli({"set", "cal", "9"}).status, kExitOk);
    ASSERT_EQ(Cli({"set", "model", "WRONG"}).status, kExitOk);
    const Run restore = Cli({"restore", file});
    ASSERT_EQ(restore.status, kExitOk) << restore.err;
    EXPECT_NE(restore.out.find("cal: 9 -> 2.75\n"), std::string::npos) << restore.out;
    meter->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().calValue, 2.75f);
        EXPECT_EQ(m.State().model, "QTX-200P");
    });
}

// A text the meter cannot take is refused like any value it cannot take (status 1), and
// before a port is opened: no backup, no byte on the wire.
TEST_F(CliServiceTest, TextsTheMeterCannotTakeAreRefusedBeforeAnyByte) {
    StartMeter();
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"set", "model", ""}, "The model cannot be empty"},
        {{"set", "band", "A\tB"}, "The band holds the control character U+0009"},
        {{"set", "sn",
          "\xC3\x84"
          "1"},
         "The serial number holds the character \"\xC3\x84\""},
        {{"set", "model", "QTX-200P-XL"}, "at most 10 bytes"},
        {{"set", "range", "0-2000\xE6\xB5\x8B\xE6\xB5\x8B\xE6\xB5\x8B\xE6\xB5\x8B"}, "needs 14"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const Run run = Cli(c.args);
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Backups(), 0u);
}

TEST_F(CliServiceTest, TextGoesOutInGbkAndIsLoggedWithTheValueBefore) {
    StartMeter();
    const Run run = Cli({"set", "band", "\xE7\xA5\x84"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(Requests().back(), Vk({0x43, 0x23, 0x0E, 0x00, 0xB5, 0x6D, ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', 0x00}));
    const auto lines = ReadServiceLog(data.Path() / "QTM200Debug" / "service-log.jsonl");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Field("program"), "cli");
    EXPECT_EQ(lines[0].Field("serial"), "24050017");
    EXPECT_EQ(lines[0].Field("parameter"), "band");
    EXPECT_EQ(lines[0].Field("old"), "400-700nm");
    EXPECT_EQ(lines[0].Field("new"), "\xE7\xA5\x84");
    EXPECT_EQ(lines[0].Field("result"), "ok");
}

TEST_F(CliServiceTest, AnotherMetersBackupIsRestoredOnlyWithForce) {
    StartMeter();
    const std::string file = (data.Path() / "meter.txt").string();
    ASSERT_EQ(Cli({"backup", file}).status, kExitOk);
    const Run same = Cli({"restore", file});
    EXPECT_EQ(same.status, kExitOk) << same.err;
    EXPECT_EQ(same.out,
              "Nothing was written: the meter already holds every value of the backup.\n");
    meter->WithModel([](qtmsim::MeterModel& m) { m.State().serial = "24050099"; });
    meter->ClearLog();
    const Run other = Cli({"restore", file});
    EXPECT_EQ(other.status, kExitFailed);
    EXPECT_NE(other.err.find("\"24050017\", not of the one connected (\"24050099\")"),
              std::string::npos)
        << other.err;
    for (const Bytes& r : Requests())
        EXPECT_NE(r[2], kVkWrite);
    const Run forced = Cli({"restore", "--force", file});
    ASSERT_EQ(forced.status, kExitOk) << forced.err;
    EXPECT_NE(forced.out.find("sn: written\n"), std::string::npos) << forced.out;
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_EQ(m.State().serial, "24050017"); });
}

TEST_F(CliServiceTest, BusFormsOfKZeroAndAddress) {
    StartMeter({.rs485 = true, .address = 3});
    ASSERT_EQ(Cli({"--link", "rs485", "--addr", "3", "set", "k", "1.5"}).status, kExitOk);
    const std::array<std::uint8_t, 4> k{0x00, 0x00, 0xC0, 0x3F};
    EXPECT_EQ(Requests().back(), BuildWriteRegistersRequest(3, 0xE00E, 2, 4, k));
    const Run zero = Cli({"--link", "rs485", "--addr", "3", "zero"});
    EXPECT_EQ(zero.out, "zero: 8000.000\n");
    ASSERT_EQ(Cli({"--link", "rs485", "--addr", "3", "set", "addr", "9"}).status, kExitOk);
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_EQ(m.State().address, 9); });
    const Run usbOnly = Cli({"--link", "rs485", "--addr", "9", "set", "savetime", "5"});
    EXPECT_EQ(usbOnly.status, kExitFailed);
    EXPECT_NE(usbOnly.err.find("no RS-485 form"), std::string::npos);
}

}  // namespace
}  // namespace qtm::cli
