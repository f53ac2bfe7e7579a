#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qtm::cli {
namespace {

std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

class BadCommandLineTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BadCommandLineTest, IsRejectedWithAReason) {
    const ParseResult result = ParseCommandLine(Split(GetParam()));
    EXPECT_FALSE(result.options.has_value()) << GetParam();
    EXPECT_FALSE(result.help);
    EXPECT_FALSE(result.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCommandLineTest,
    ::testing::Values(
        "", "--simulate", "bogus", "scan info", "scan extra", "--port", "--port= scan",
        "--family qtx300 scan", "--family scan", "--link serial scan", "--link", "--addr 256 scan",
        "--addr -1 scan", "--addr 1x scan", "--addr scan", "--count -2 live", "live --count",
        "live --count five", "scan --count 3", "--verbose scan", "-p /dev/ttyUSB0 scan",
        "--no-system-ports=1 ports", "--simulate= scan", "--simulate=QTX-210UVA1 scan", "--model",
        "live --count 99999999999", "memory --csv out.csv", "import --csv",
        "live --csv=", "import --count 3", "live --append", "import --csv f --overwrite",
        "live --csv f --append=1", "live --csv f --append --overwrite", "live --average",
        "import --stats", "import --duration 5", "live --format xml", "live --format csv --csv -",
        "live --log - --format jsonl", "scan --log f", "live --interval 0", "live --duration 1x"));

TEST(CommandLineTest, DefaultsWithJustACommand) {
    const ParseResult result = ParseCommandLine({"live"});
    ASSERT_TRUE(result.options.has_value()) << result.error;
    const CliOptions& o = *result.options;
    EXPECT_EQ(o.command, Command::Live);
    EXPECT_EQ(o.count, 0);  // until stopped
    EXPECT_EQ(o.address, 1);
    EXPECT_EQ(o.family, Family::Qtx200);
    EXPECT_EQ(o.link, Link::Usb);
    EXPECT_FALSE(o.simulate);
    EXPECT_FALSE(o.noSystemPorts);
    EXPECT_FALSE(o.model.has_value());
    EXPECT_TRUE(o.ports.empty());
}

TEST(CommandLineTest, EveryOptionIsTaken) {
    const ParseResult result = ParseCommandLine(Split(
        "--port /dev/ttyUSB0 --port=/dev/ttyUSB1 --no-system-ports --simulate=QTX-210LM "
        "--family qtm300 --link rs485 --addr 17 --model QTX-200L live --count 12 --csv run.csv"));
    ASSERT_TRUE(result.options.has_value()) << result.error;
    const CliOptions& o = *result.options;
    EXPECT_EQ(o.ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_TRUE(o.noSystemPorts);
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.simulateModel, "QTX-210LM");
    EXPECT_EQ(o.family, Family::Qtm300);
    EXPECT_EQ(o.link, Link::Rs485);
    EXPECT_EQ(o.address, 17);
    EXPECT_EQ(o.model, "QTX-200L");
    EXPECT_EQ(o.command, Command::Live);
    EXPECT_EQ(o.count, 12);
    EXPECT_EQ(o.csv, "run.csv");
    EXPECT_EQ(ParseCommandLine({"import"}).options->command, Command::Import);
    EXPECT_EQ(o.csvExisting, CsvExisting::Refuse);
    for (const auto& [word, existing] :
         {std::pair{"--append", CsvExisting::Append}, {"--overwrite", CsvExisting::Overwrite}})
        EXPECT_EQ(ParseCommandLine({"live", word, "--csv", "-"}).options->csvExisting, existing);
}

TEST(CommandLineTest, SimulateWithoutModelDoesNotSwallowTheCommand) {
    const ParseResult result = ParseCommandLine({"--simulate", "scan"});
    ASSERT_TRUE(result.options.has_value()) << result.error;
    EXPECT_TRUE(result.options->simulate);
    EXPECT_TRUE(result.options->simulateModel.empty());
    EXPECT_EQ(result.options->command, Command::Scan);
}

TEST(CommandLineTest, HelpNeedsNoCommand) {
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"--port", "/dev/ttyUSB0", "-h", "bogus"}).help);
}

}  // namespace
}  // namespace qtm::cli
