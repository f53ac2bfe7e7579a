#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "cli/CliData.h"
#include "cli/CliRunner.h"
#include "device/SimFixture.h"
#include "device/TempDir.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "service/RecordImport.h"

namespace qtm::cli {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliDataTest : public test::SimFixture {
protected:
    int Cli(std::vector<std::string> args) {
        std::vector<std::string> line{"--no-system-ports", "--port", meter->PortPath()};
        line.insert(line.end(), args.begin(), args.end());
        std::ostringstream o;
        std::ostringstream e;
        const int status = RunCli(line, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    std::vector<float> StoredRecords() {
        std::vector<float> records;
        meter->WithModel([&](qtmsim::MeterModel& m) { records = m.State().records; });
        return records;
    }
    std::vector<Bytes> PageRequests() const {
        std::vector<Bytes> pages;
        for (const Bytes& request : Requests())
            if (request.size() > 3 && request[3] == kStoredRecordsCode) pages.push_back(request);
        return pages;
    }

    test::TempDir dir;
    std::string out;
    std::string err;
};

TEST(CliImportLineTest, NumberAndTheListsText) {
    EXPECT_EQ(FormatImportLine(1, 12.5f), "1 12.500");
    EXPECT_EQ(FormatImportLine(7500, 0.0f), "7500 0");
    EXPECT_EQ(FormatImportLine(3, 123456.7f), "3 123456.7");
}

TEST_F(CliDataTest, ImportPrintsEveryStoredReadingInTwoPageRequests) {
    StartMeter({.records = 30});
    ASSERT_EQ(Cli({"import"}), kExitOk) << err;
    const auto stored = StoredRecords();
    std::string expected;
    for (int i = 0; i < 30; ++i)
        expected += FormatImportLine(i + 1, stored[static_cast<std::size_t>(i)]) + "\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(PageRequests(), (std::vector<Bytes>{BuildPageRequest(0), BuildPageRequest(1)}));
}

TEST_F(CliDataTest, ImportToCsvWritesWhatSaveWritesAfterAnImport) {
    StartMeter({.model = "QTX-210LM", .records = 15});
    const auto file = dir.Path() / "stored.csv";
    ASSERT_EQ(Cli({"import", "--csv", file.string()}), kExitOk) << err;
    EXPECT_EQ(out, "");
    std::vector<MeasurementRecord> records;
    for (const float value : StoredRecords())
        records.push_back({static_cast<std::int32_t>(records.size() + 1), value, 0.0, 0.0f});
    EXPECT_EQ(ReadBytes(file), Utf16LeBytes(CsvText(CsvHeader(ModelGroup::LuminousFlux), records)));
}

TEST_F(CliDataTest, PageThatComesInShortIsReportedAndFailsTheRun) {
    StartMeter({.records = 45});
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == kStoredRecordsCode && request[6] == 1) return Bytes(40, 0);
        return std::nullopt;
    });
    EXPECT_EQ(Cli({"import"}), kExitFailed);
    EXPECT_NE(err.find("page 1 came in short"), std::string::npos) << err;
    // The other pages still came in, and the short one counts its readings as read.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 45);
}

TEST_F(CliDataTest, StoredCountThatNeverArrivesIsNotAnEmptyMemory) {
    StartMeter({.records = 30});
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == 0x1F) return Bytes(8, 0);  // the count cut off
        return std::nullopt;
    });
    EXPECT_EQ(Cli({"import"}), kExitFailed);
    EXPECT_NE(err.find("the meter did not answer"), std::string::npos) << err;
    EXPECT_TRUE(PageRequests().empty());
}

TEST_F(CliDataTest, LiveCsvHoldsOneNumberedRecordPerReading) {
    StartMeter({.model = "QTX-200LP"});
    const auto file = dir.Path() / "live.csv";
    ASSERT_EQ(Cli({"live", "--count", "3", "--csv", file.string()}), kExitOk) << err;
    const auto contents = ReadCsvFile(file);
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->header, CsvHeader(ModelGroup::LaserPower));
    ASSERT_EQ(contents->records.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(contents->records[static_cast<std::size_t>(i)].number, i + 1);
    EXPECT_EQ(ReadBytes(file),
              Utf16LeBytes(CsvText(CsvHeader(ModelGroup::LaserPower), contents->records)));
}

TEST_F(CliDataTest, LiveCsvThatCannotBeCreatedStopsBeforeTheFirstPass) {
    StartMeter();
    meter->ClearLog();
    EXPECT_EQ(Cli({"live", "--csv", (dir.Path() / "no" / "such.csv").string()}), kExitFailed);
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;
    EXPECT_EQ(RequestCodes(), std::vector<std::uint8_t>{0x01});  // the identification only
}

// The built program, killed in the middle of a long logging run, leaves a file whose
// whole lines are every reading it had taken.
TEST_F(CliDataTest, KilledLiveRunLeavesItsReadingsInTheCsv) {
    StartMeter();
    const auto file = dir.Path() / "killed.csv";
    const char* bin = std::getenv("QTM_BIN_DIR");
    const std::string program = std::string(bin ? bin : ".") + "/qtm200cli";
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string port = meter->PortPath();
        const std::string csv = file.string();
        ::freopen("/dev/null", "w", stdout);
        ::execl(program.c_str(), program.c_str(), "--no-system-ports", "--port", port.c_str(),
                "live", "--count", "1000", "--csv", csv.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait for three readings, then kill it wherever it is.
    std::size_t records = 0;
    for (int i = 0; i < 200 && records < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (const auto contents = ReadCsvFile(file)) records = contents->records.size();
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(records, 3u);

    const auto contents = ReadCsvFile(file);
    ASSERT_TRUE(contents.has_value());
    EXPECT_GE(contents->records.size(), records);
    EXPECT_LE(contents->badLines, 1u);
    for (std::size_t i = 0; i < contents->records.size(); ++i)
        EXPECT_EQ(contents->records[i].number, static_cast<int>(i) + 1);
}

}  // namespace
}  // namespace qtm::cli
