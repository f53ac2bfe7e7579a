#include "service/CsvLog.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "device/TempDir.h"
#include "service/CsvFormat.h"

namespace qtm {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<MeasurementRecord> LiveRecords(int count) {
    std::vector<MeasurementRecord> records;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> power(-5.0f, 30000.0f);
    double energy = 0;
    for (int i = 1; i <= count; ++i) {
        const float p = power(random);
        energy += p * 0.4;
        records.push_back({i, p, energy, static_cast<float>(i) * 0.4f});
    }
    return records;
}

void ExpectSameRecords(const std::vector<MeasurementRecord>& got,
                       const std::vector<MeasurementRecord>& expected) {
    // Through the file the values keep six decimals, so the lines written again match.
    EXPECT_EQ(CsvText(u"", got), CsvText(u"", expected));
}

const std::u16string_view kHeader = u"iNo.,\u03A6(lm),Enegry(lm.s),Time(s)";

TEST(CsvAppenderTest, WritesWhatTheExportWritesForTheSameRecords) {
    test::TempDir dir;
    const auto records = LiveRecords(50);
    CsvAppender appender;
    ASSERT_TRUE(appender.Open(dir.Path() / "live.csv", kHeader).Ok());
    for (const auto& record : records)
        ASSERT_TRUE(appender.Append(record));
    // Each line is in the file as soon as it is appended, before any close.
    EXPECT_EQ(ReadBytes(dir.Path() / "live.csv"), Utf16LeBytes(CsvText(kHeader, records)));
}

TEST(ParseCsvTest, TakesWholeLinesAndCountsTheRest) {
    const auto records = LiveRecords(3);
    const std::string whole = Utf16LeBytes(CsvText(kHeader, records));
    const struct {
        std::string bytes;
        std::size_t records;
        std::size_t bad;
    } cases[] = {
        {whole, 3, 0},
        {whole.substr(0, whole.size() - 2), 2, 1},  // cut between CR and LF
        {whole.substr(0, whole.size() - 9), 2, 1},  // cut inside the line
        {whole.substr(0, whole.size() - 7), 2, 1},  // cut inside a code unit
        {whole + std::string(64, '\0'), 3, 1},      // a block of zeros after a power cut
        {whole + Utf16LeBytes(u"4,x,1,1\r\n5,1.0,2.0,3.0\r\n"), 4, 1},
        {whole + Utf16LeBytes(u"6,1.0,2.0\r\n7,1.0,2.0,3.0,4.0\r\n"), 3, 2},
        // Record 4 cut to "4" and record 5 written after it: "45" is no record, and 6
        // is taken only once 7 confirms the jump.
        {whole + Utf16LeBytes(u"4"
                              u"5,1.0,2.0,3.0\r\n6,1.0,2.0,3.0\r\n"),
         3, 2},
        {whole + Utf16LeBytes(u"4"
                              u"5,1.0,2.0,3.0\r\n6,1.0,2.0,3.0\r\n7,1.0,2.0,3.0\r\n"),
         5, 1},
        // Zeros a power cut left in the middle (they swallow record 8), and a record that
        // goes back.
        {whole + std::string(64, '\0') +
             Utf16LeBytes(u"8,1.0,2.0,3.0\r\n9,1.0,2.0,3.0\r\n10,1.0,2.0,3.0\r\n"),
         5, 1},
        {whole + Utf16LeBytes(u"2,1.0,2.0,3.0\r\n"), 3, 1},
        {Utf16LeBytes(std::u16string(1, kByteOrderMark)), 0, 0},
    };
    for (const auto& c : cases) {
        const CsvContents contents = ParseCsv(c.bytes);
        EXPECT_EQ(contents.records.size(), c.records) << c.bytes.size();
        EXPECT_EQ(contents.badLines, c.bad) << c.bytes.size();
    }
    EXPECT_EQ(ParseCsv(whole).header, kHeader);
    ExpectSameRecords(ParseCsv(whole).records, records);
}

TEST(JournalFolderTest, FollowsXdgDataHomeWhenAbsolute) {
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(JournalFolder(), "/data/home/QTM200Debug/journal");
    ::setenv("XDG_DATA_HOME", "relative", 1);
    ::setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(JournalFolder(), "/home/tech/.local/share/QTM200Debug/journal");
}

TEST(JournalTest, NormalEndRemovesTheJournalAndALiveOneIsNotOffered) {
    test::TempDir dir;
    const auto folder = dir.Path() / "journal";
    Journal journal(folder);
    ASSERT_TRUE(journal.Start(kHeader).Ok());
    ASSERT_TRUE(journal.Append({1, 2.0f, 3.0, 4.0f}));
    EXPECT_EQ(journal.Path().parent_path(), folder);
    // Still being written: not a journal left behind.
    EXPECT_TRUE(UnfinishedJournals(folder).empty());
    const auto path = journal.Path();
    journal.Finish();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(JournalTest, KilledWriterLeavesEveryRecordItAppended) {
    test::TempDir dir;
    const auto folder = dir.Path() / "journal";
    const auto records = LiveRecords(100000);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        Journal journal(folder);
        if (!journal.Start(kHeader).Ok()) ::_exit(1);
        for (std::size_t i = 0; i < records.size(); ++i) {
            journal.Append(records[i]);
            if (i == 99) {
                const char ready = 'r';  // a hundred records are in
                if (::write(pipeFds[1], &ready, 1) != 1) ::_exit(1);
            }
        }
        ::pause();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
    ::close(pipeFds[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    const auto left = UnfinishedJournals(folder);
    ASSERT_EQ(left.size(), 1u);
    const auto contents = ReadCsvFile(left[0]);
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->header, kHeader);
    ASSERT_GE(contents->records.size(), 100u);
    EXPECT_LE(contents->badLines, 1u);
    const std::vector<MeasurementRecord> expected(
        records.begin(), records.begin() + static_cast<long>(contents->records.size()));
    ExpectSameRecords(contents->records, expected);
}

}  // namespace
}  // namespace qtm
