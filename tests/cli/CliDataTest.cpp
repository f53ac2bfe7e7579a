#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
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

// Page 1 answers with what is given; the others as the meter does.
void SpoilPageOne(qtmsim::SimMeter& meter, Bytes reply) {
    meter.SetReplyOverride([reply](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == kStoredRecordsCode && request[6] == 1) return reply;
        return std::nullopt;
    });
}

TEST_F(CliDataTest, PageThatComesInShortOrGarbledIsLeftOutAndCounted) {
    for (const Bytes& reply : {Bytes(40, 0), Bytes(kPageReplyBytes, 0x5A)}) {
        StartMeter({.records = 45});
        SpoilPageOne(*meter, reply);
        EXPECT_EQ(Cli({"import"}), kExitFailed);
        EXPECT_EQ(err, "qtm200cli: page 1 gave no whole answer: 15 of 45 readings are missing\n");
        // Pages 0 and 2, numbered on without a gap; none of page 1 shows, not even as 0.
        const auto stored = StoredRecords();
        std::string expected;
        for (int i = 0; i < 15; ++i)
            expected += FormatImportLine(i + 1, stored[static_cast<std::size_t>(i)]) + "\n";
        for (int i = 30; i < 45; ++i)
            expected += FormatImportLine(i - 14, stored[static_cast<std::size_t>(i)]) + "\n";
        EXPECT_EQ(out, expected);
    }
}

TEST_F(CliDataTest, IncompleteImportLeavesTheFileAndWritesWhatCameToPartial) {
    const auto old = dir.Path() / "old.csv";
    std::ofstream(old, std::ios::binary) << "the first import";
    for (const auto& file : {old, dir.Path() / "new.csv"}) {
        SCOPED_TRACE(file);
        StartMeter({.records = 45});
        SpoilPageOne(*meter, Bytes(kPageReplyBytes, 0x5A));
        const bool existed = std::filesystem::exists(file);
        const std::string partial = file.string() + ".partial";
        EXPECT_EQ(Cli({"import", "--csv", file.string()}), kExitFailed);
        EXPECT_EQ(err,
                  "qtm200cli: page 1 gave no whole answer: 15 of 45 readings are missing; the 30 "
                  "readings that came are in " +
                      partial + " and " + file.string() +
                      (existed ? " is left as it was\n" : " is not written\n"));
        if (existed) {
            EXPECT_EQ(ReadBytes(file), "the first import");
        } else {
            EXPECT_FALSE(std::filesystem::exists(file));
        }
        const auto contents = ReadCsvFile(partial);
        ASSERT_TRUE(contents.has_value());
        ASSERT_EQ(contents->records.size(), 30u);
        EXPECT_EQ(contents->records.back().number, 30);
        EXPECT_EQ(contents->badLines, 0u);
    }
}

TEST_F(CliDataTest, ThreePagesInARowWithoutAnAnswerEndTheImportInOneSentence) {
    StartMeter({.records = 1500});
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == kStoredRecordsCode && request[6] >= 2) return Bytes(kPageReplyBytes, 0);
        return std::nullopt;
    });
    EXPECT_EQ(Cli({"import"}), kExitFailed);
    EXPECT_EQ(err,
              "qtm200cli: the meter gave no answer to pages 2 to 4 in a row, so the import stopped "
              "there: "
              "1470 of 1500 readings are missing\n");
    EXPECT_EQ(PageRequests().size(), 5u);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 30);
}

TEST_F(CliDataTest, ImportTargetThatCannotBeWrittenIsRefusedBeforeTheMeterIsAsked) {
    StartMeter({.records = 30});
    std::filesystem::create_directory(dir.Path() / "folder");
    std::ofstream(dir.Path() / "plain") << "x";
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {dir.Path() / "missing" / "x.csv",
         "The folder " + (dir.Path() / "missing").string() + " does not exist."},
        {dir.Path() / "folder", (dir.Path() / "folder").string() + " is a folder."},
        {dir.Path() / "plain" / "x.csv", (dir.Path() / "plain").string() + " is not a folder."},
    };
    for (const auto& [file, sentence] : cases) {
        EXPECT_EQ(Cli({"import", "--csv", file.string()}), kExitFailed);
        EXPECT_EQ(err, "qtm200cli: " + sentence + "\n");
        EXPECT_TRUE(meter->RequestLog().empty());
    }
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

TEST_F(CliDataTest, ExistingLiveCsvIsContinuedWithAppendReplacedWithOverwriteElseRefused) {
    StartMeter();
    const auto file = dir.Path() / "live.csv";
    ASSERT_EQ(Cli({"live", "--count", "2", "--csv", file.string()}), kExitOk) << err;
    const std::string first = ReadBytes(file);

    meter->ClearLog();
    EXPECT_EQ(Cli({"live", "--count", "1", "--csv", file.string()}), kExitFailed);
    EXPECT_EQ(err, "qtm200cli: " + file.string() +
                       " already exists: give --append to add this run's readings to it or "
                       "--overwrite to replace it\n");
    EXPECT_TRUE(meter->RequestLog().empty());
    EXPECT_EQ(ReadBytes(file), first);

    // A run killed in the middle of a line left it cut: that line goes, the rest stays.
    std::ofstream(file, std::ios::binary | std::ios::app) << Utf16LeBytes(u"3,86");
    ASSERT_EQ(Cli({"live", "--count", "2", "--csv", file.string(), "--append"}), kExitOk) << err;
    const std::string continued = ReadBytes(file);
    EXPECT_EQ(continued.substr(0, first.size()), first);
    auto contents = ReadCsvFile(file);
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->header, CsvHeader(ModelGroup::PPFD));
    EXPECT_EQ(continued, Utf16LeBytes(CsvText(contents->header, contents->records)));
    ASSERT_EQ(contents->records.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(contents->records[static_cast<std::size_t>(i)].number, i + 1);

    ASSERT_EQ(Cli({"live", "--count", "1", "--csv", file.string(), "--overwrite"}), kExitOk) << err;
    contents = ReadCsvFile(file);
    ASSERT_TRUE(contents.has_value());
    ASSERT_EQ(contents->records.size(), 1u);
    EXPECT_EQ(contents->records[0].number, 1);
}

TEST_F(CliDataTest, AppendRefusesAFileItWouldSpoil) {
    StartMeter();  // a PPFD meter
    const std::vector<MeasurementRecord> laser{{1, 2.5f, 0.0, 0.0f}};
    const struct {
        const char* name;
        std::string bytes;
        std::string sentence;
    } cases[] = {
        {"notes.txt", "my notes",
         " is not a CSV file this program wrote, so --append does not add to it"},
        {"other.csv", Utf16LeBytes(CsvText(CsvHeader(ModelGroup::LaserPower), laser)),
         " holds the readings of another kind of meter, so readings of QTX-200P are not added "
         "to it"},
    };
    for (const auto& c : cases) {
        const auto file = dir.Path() / c.name;
        std::ofstream(file, std::ios::binary) << c.bytes;
        meter->ClearLog();
        EXPECT_EQ(Cli({"live", "--csv", file.string(), "--append"}), kExitFailed);
        EXPECT_EQ(err, "qtm200cli: " + file.string() + c.sentence + "\n");
        EXPECT_EQ(ReadBytes(file), c.bytes);
        const auto codes = RequestCodes();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x0D), 0);
    }
}

TEST_F(CliDataTest, FullDeviceGivesTheDiskFullSentenceAndStaysADevice) {
    StartMeter({.records = 15});
    for (const char* command : {"live", "import"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Cli({command, "--csv", "/dev/full"}), kExitFailed);
        EXPECT_EQ(err, "qtm200cli: The disk is full: /dev/full could not be written.\n");
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
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
        if (::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
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

// The built program on a disk that fills up during a run it continues: it stops at the
// first record that does not fit, says so once, and the file keeps only whole records.
TEST_F(CliDataTest, FullDiskStopsALiveRunInOneSentenceWithoutACutRow) {
    StartMeter();
    const auto file = dir.Path() / "full.csv";
    ASSERT_EQ(Cli({"live", "--count", "1", "--csv", file.string()}), kExitOk) << err;
    const std::string before = ReadBytes(file);
    meter->ClearLog();

    const char* bin = std::getenv("QTM_BIN_DIR");
    const std::string program = std::string(bin ? bin : ".") + "/qtm200cli";
    int errPipe[2];
    ASSERT_EQ(::pipe(errPipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Room for part of one more line only, as on a disk that is nearly full.
        const rlimit limit{before.size() + 20, before.size() + 20};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::dup2(errPipe[1], STDERR_FILENO);
        if (::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
        const std::string port = meter->PortPath();
        const std::string csv = file.string();
        ::execl(program.c_str(), program.c_str(), "--no-system-ports", "--port", port.c_str(),
                "live", "--count", "5", "--csv", csv.c_str(), "--append",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(errPipe[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitFailed);
    EXPECT_EQ(said, "qtm200cli: The disk is full: " + file.string() +
                        " could not be written; the run stopped at pass 1\n");
    EXPECT_EQ(ReadBytes(file), before);
    const auto codes = RequestCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x0D), 1);  // no pass after the failed one
}

}  // namespace
}  // namespace qtm::cli
