// What the CLI must never do to a meter: send a value nobody can have meant, take half a
// reply for a meter value, or write without leaving a line in the service log.
#include <gtest/gtest.h>

#include <regex>

#include "cli/CliServiceFixture.h"
#include "device/VkBytes.h"

namespace qtm::cli {
namespace {

TEST_F(CliServiceTest, ValuesThatCannotBeMeantNeverReachTheMeter) {
    StartMeter();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"calk", "0.5"}, kExitFailed, "would be 0"},
        {{"calk", "1e10"}, kExitFailed, "beyond the 32-bit integer"},
        {{"set", "k", "1e39"}, kExitFailed, "beyond the largest 32-bit float"},
        {{"set", "cal", "1e39"}, kExitFailed, "beyond the largest 32-bit float"},
        {{"set", "k", "1e-50"}, kExitFailed, "too small"},
        {{"set", "savetime", "-1"}, kExitFailed, "below 1 second"},
        {{"set", "savetime", "0.9"}, kExitFailed, "below 1 second"},
        {{"set", "savetime", "3e9"}, kExitFailed, "beyond the 2147483647"},
        {{"formula", "1", "2", "1e400", "4", "5"}, kExitFailed, "C2"},
        {{"formula", "1", "2", "3", "1e-400", "5"}, kExitFailed, "would be sent as 0"},
        {{"--link", "rs485", "--addr", "0", "zerocal"}, kExitUsage, "1 to 247"},
        {{"--link", "rs485", "--addr", "248", "set", "k", "2"}, kExitUsage, "1 to 247"},
        {{"--model", "NOSUCH", "live"}, kExitUsage, "not a model"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const Run run = Cli(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Backups(), 0u);
    EXPECT_TRUE(LogLines().empty());  // a refused value is no write
}

TEST_F(CliServiceTest, RepliesThatAreNotTheMetersAreNoValuesNoBackupAndNoWrite) {
    StartMeter();
    // The meter answers its identification and every other read with a reply of the
    // awaited length that does not start with "VK" (noise; a half reply takes the same path,
    // but its time-outs are too slow for a test).
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request.size() < 4 || request[2] != kVkRead || request[3] == vk::kModel)
            return std::nullopt;
        const std::uint8_t code = request[3];
        std::size_t length = 11;
        if (code == vk::kSerialNumber) length = 16;
        if (code == vk::kBand) length = 6 + 4;
        if (code == vk::kRange) length = 6 + 3;
        if (code == vk::kMemoryUsage) length = 12;
        Bytes noise(length, 0x20);
        noise[4] = 4;  // a count the text reads believe
        return noise;
    });
    const Run info = Cli({"info"});
    EXPECT_EQ(info.status, kExitFailed);
    EXPECT_EQ(info.out, "model: QTX-200P\n");  // no cal: 0.000, no k: 0.000
    EXPECT_NE(info.err.find("no whole reply"), std::string::npos) << info.err;

    const Run memory = Cli({"memory"});
    EXPECT_EQ(memory.status, kExitFailed);
    EXPECT_EQ(memory.out, "");  // not "storage: 0/7500"

    meter->ClearLog();
    const Run set = Cli({"set", "k", "2"});
    EXPECT_EQ(set.status, kExitFailed);
    EXPECT_NE(set.err.find("could not be backed up"), std::string::npos) << set.err;
    EXPECT_EQ(Backups(), 0u);
    for (const Bytes& r : Requests())
        EXPECT_NE(r[2], kVkWrite);
}

TEST_F(CliServiceTest, EveryWriteLeavesOneLineWithItsOutcome) {
    StartMeter();
    ASSERT_EQ(Cli({"set", "k", "1.5"}).status, kExitOk);
    // The meter now stays silent to K writes.
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request.size() > 3 && request[2] == kVkWrite && request[3] == 0x0F) return Bytes{};
        return std::nullopt;
    });
    EXPECT_EQ(Cli({"set", "k", "2.25"}).status, kExitFailed);
    EXPECT_EQ(Cli({"calk", "0.5"}).status, kExitFailed);  // refused: not a write

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::regex ok(
        R"(\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","program":"cli","port":"[^"]+",)"
        R"("link":"usb","serial":"24050017","parameter":"k","old":1,"new":1\.5,"result":"ok"\})");
    EXPECT_TRUE(std::regex_match(lines[0], ok)) << lines[0];
    EXPECT_NE(lines[1].find(R"("old":1.5,"new":2.25,"result":"failed: the meter did not take)"),
              std::string::npos)
        << lines[1];
}

}  // namespace
}  // namespace qtm::cli
