#include "service/ServiceLog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "device/TempDir.h"
#include "service/JsonText.h"

namespace qtm {
namespace {

using namespace std::chrono;

TEST(ServiceLogTest, ALineCarriesEveryKeyInOrderAndOddBytesStayOneLine) {
    const ServiceLogTarget target =
        MakeServiceLogTarget("window", "/dev/ttyUSB0", true, 3, "SN\"1\n\xB5  ");
    const ServiceLogEntry entry{"cal", JsonNumber(2.5f), JsonNumber(1e-7f),
                                WriteResult(false, "no answer")};
    const auto when = sys_days{2026y / 12 / 9} + 10h + 15min + 2s + 123ms;
    EXPECT_EQ(FormatServiceLogLine(target, entry, when),
              R"({"time":"2026-12-09T10:15:02.123Z","program":"window","port":"/dev/ttyUSB0",)"
              R"("link":"rs485","address":3,"serial":"SN\"1\n\u00b5","parameter":"cal",)"
              R"("old":2.5,"new":1e-07,"result":"failed: no answer"})"
              "\n");
    // Over USB there is no address, and an old value that was not read is left out.
    const std::string usb =
        FormatServiceLogLine(MakeServiceLogTarget("cli", "p", false, 3, "1"),
                             {"erase", std::nullopt, JsonString("erase"), "ok"}, when);
    EXPECT_EQ(usb.find("address"), std::string::npos);
    EXPECT_EQ(usb.find("old"), std::string::npos);
    EXPECT_EQ(JsonNumber(std::numeric_limits<float>::infinity()), "null");
}

TEST(ServiceLogTest, AppendedLinesReadBackNewestFirstAndAForeignLineIsKept) {
    test::TempDir dir;
    const auto path = dir.Path() / "QTM200Debug" / "service-log.jsonl";  // folder made on need
    const ServiceLogTarget target = MakeServiceLogTarget("cli", "/dev/pts/3", false, 1, "24");
    ASSERT_EQ(AppendServiceLog(target, {"k", JsonNumber(1.0f), JsonNumber(1.5f), "ok"}, path), "");
    std::ofstream(path, std::ios::app | std::ios::binary) << "not json\n";
    ASSERT_EQ(AppendServiceLog(target, {"sn", JsonString("A"), JsonString("B\tC"), "ok"}, path),
              "");
    const std::vector<ServiceLogLine> lines = ReadServiceLog(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Field("new"), "B\tC");
    EXPECT_FALSE(lines[1].parsed);
    EXPECT_EQ(lines[1].raw, "not json");
    EXPECT_EQ(lines[2].Field("old"), "1");
    EXPECT_EQ(lines[2].Field("parameter"), "k");
    // A log that cannot be written says why instead of pretending.
    EXPECT_NE(AppendServiceLog(target, {"k", std::nullopt, "1", "ok"}, dir.Path()), "");
}

}  // namespace
}  // namespace qtm
