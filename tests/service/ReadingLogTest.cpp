#include "service/ReadingLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "device/TempDir.h"

namespace qtm {
namespace {

using namespace std::chrono;

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A moment of the local calendar ("2026-12-09 23:59:58"), whatever the machine's time zone.
system_clock::time_point Local(const char* text) {
    std::tm tm{};
    ::strptime(text, "%Y-%m-%d %H:%M:%S", &tm);
    tm.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&tm));
}

ReadingObject Reading(std::int64_t n, float power) {
    ReadingObject r;
    r.n = n;
    r.power = power;
    r.unit = "lx";
    r.serial = "S1";
    return r;
}

const ReadingColumns kColumns = ReadingColumns::Import();
const std::string kHeader = "n,power,unit,serial\r\n";

class ReadingLogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    system_clock::time_point now = Local("2026-12-09 10:00:00");
    ReadingLogWriter::Clock clock = [this] { return now; };
};

TEST_F(ReadingLogTest, PreambleThenOneRowPerReading) {
    LogMetadata metadata;
    metadata.Add("model", "QTX-200L").Add("note", "two\r\nlines\t").Add("firmware", "");
    metadata.Add("odd:key", "x");
    EXPECT_EQ(ReadingLogPreamble(metadata, kColumns),
              "\xEF\xBB\xBF# model: QTX-200L\r\n# note: two  lines \r\n# odd-key: x\r\n" + kHeader);

    const auto path = dir.Path() / "log.csv";
    ReadingLogWriter writer(path.string(), metadata, kColumns, clock);
    ASSERT_TRUE(writer.Open().Ok());
    ASSERT_TRUE(writer.Append(Reading(1, 2.5f)).Ok());
    // Each row is in the file as soon as it is appended, before any close.
    ASSERT_TRUE(writer.Append(Reading(2, 0.1f)).Ok());
    EXPECT_EQ(ReadBytes(path),
              ReadingLogPreamble(metadata, kColumns) + "1,2.5,lx,S1\r\n2,0.1,lx,S1\r\n");
    EXPECT_TRUE(writer.Close().Ok());
    EXPECT_TRUE(writer.Close().Ok());
}

TEST_F(ReadingLogTest, DatePatternStartsANewFileAtLocalMidnight) {
    const std::string pattern = (dir.Path() / "qtm-%Y%m%d.csv").string();
    const LogMetadata metadata = LogMetadata().Add("model", "QTX-200L");
    now = Local("2026-12-09 23:59:58");
    ReadingLogWriter writer(pattern, metadata, kColumns, clock);
    ASSERT_TRUE(writer.Open().Ok());
    ASSERT_TRUE(writer.Append(Reading(1, 1)).Ok());
    now = Local("2026-12-09 23:59:59");
    ASSERT_TRUE(writer.Append(Reading(2, 2)).Ok());
    now = Local("2026-12-10 00:00:00");
    ASSERT_TRUE(writer.Append(Reading(3, 3)).Ok());
    EXPECT_EQ(writer.CurrentPath(), (dir.Path() / "qtm-20261210.csv").string());

    const std::string preamble = ReadingLogPreamble(metadata, kColumns);
    EXPECT_EQ(ReadBytes(dir.Path() / "qtm-20261209.csv"), preamble + "1,1,lx,S1\r\n2,2,lx,S1\r\n");
    EXPECT_EQ(ReadBytes(dir.Path() / "qtm-20261210.csv"), preamble + "3,3,lx,S1\r\n");
}

TEST_F(ReadingLogTest, ReopeningOurLogAddsRowsOnlyAndDropsACutRow) {
    const auto path = dir.Path() / "log.csv";
    {
        ReadingLogWriter writer(path.string(), LogMetadata().Add("run", "1"), kColumns, clock);
        ASSERT_TRUE(writer.Append(Reading(1, 1)).Ok());
    }
    const std::string before = ReadBytes(path);
    // A full disk once cut a row short.
    WriteBytes(path, before + "2,2,l");
    ReadingLogWriter writer(path.string(), LogMetadata().Add("run", "2"), kColumns, clock);
    ASSERT_TRUE(writer.Open().Ok());
    ASSERT_TRUE(writer.Append(Reading(2, 2)).Ok());
    EXPECT_EQ(ReadBytes(path), before + "2,2,lx,S1\r\n");
}

TEST_F(ReadingLogTest, FileNotOursOrWithOtherColumnsIsLeftAlone) {
    const std::string otherLog =
        ReadingLogPreamble(LogMetadata(), ReadingColumns::UsbLive()) + "1,,2,lx,0,,0,0,0,0,S\r\n";
    const struct {
        const char* name;
        std::string bytes;
        std::string sentence;
    } cases[] = {
        {"other.csv", otherLog,
         " is a reading log with other columns, so this run's readings are not added to it."},
        {"notes.txt", "my notes\n",
         " is not a reading log of this program, so no readings are added to it."},
        {"foreign.csv", "\xEF\xBB\xBF# a: b\r\nDate,Value\r\n",
         " is not a reading log of this program, so no readings are added to it."},
    };
    for (const auto& c : cases) {
        const auto path = dir.Path() / c.name;
        WriteBytes(path, c.bytes);
        ReadingLogWriter writer(path.string(), LogMetadata(), kColumns, clock);
        const FileResult opened = writer.Open();
        EXPECT_EQ(DescribeFileError(opened), path.string() + c.sentence) << c.name;
        EXPECT_FALSE(writer.Append(Reading(1, 1)).Ok()) << c.name;
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
    }
}

TEST_F(ReadingLogTest, FifoIsWrittenInPlace) {
    const auto fifo = dir.Path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadBytes(fifo); });
    {
        ReadingLogWriter writer(fifo.string(), LogMetadata(), kColumns, clock);
        EXPECT_TRUE(writer.Open().Ok());
        EXPECT_TRUE(writer.Append(Reading(1, 1)).Ok());
        EXPECT_TRUE(writer.Close().Ok());
    }
    reader.join();
    EXPECT_EQ(received, "\xEF\xBB\xBF" + kHeader + "1,1,lx,S1\r\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

}  // namespace
}  // namespace qtm
