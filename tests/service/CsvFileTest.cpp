#include "service/CsvFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "device/TempDir.h"
#include "service/CsvFormat.h"

namespace qtm {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// Runs check in a child process without root's right to write anywhere; true when the
// check held there.
bool HoldsForAnOrdinaryUser(const std::function<bool()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const std::vector<MeasurementRecord> kRecords{{1, 12.5f, 0.0, 0.0f}, {2, 13.25f, 0.0, 0.0f}};

class CsvFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path target = dir.Path() / "out.csv";
    std::u16string_view header = CsvHeader(ModelGroup::PPFD);
};

TEST_F(CsvFileTest, WritesTheTextAsUtf16LeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(WriteCsvFile(target, header, kRecords).Ok());
    EXPECT_EQ(ReadBytes(target), Utf16LeBytes(CsvText(header, kRecords)));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST_F(CsvFileTest, ReplacingAFileKeepsItsPermissions) {
    WriteBytes(target, "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(WriteCsvFile(target, header, kRecords).Ok());
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBytes(target), Utf16LeBytes(CsvText(header, kRecords)));
}

TEST_F(CsvFileTest, WriteThatFailsHalfWayLeavesTheOldFileIntact) {
    WriteBytes(target, "the old file");
    // A file size limit makes the writes fail part way through, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::vector<MeasurementRecord> many(20000, MeasurementRecord{1, 1.0f, 2.0, 3.0f});
    const FileResult result = WriteCsvFile(target, header, many);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result.kind, FileErrorKind::DiskFull);
    EXPECT_EQ(ReadBytes(target), "the old file");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST_F(CsvFileTest, ReadOnlyFileAndFolderAreRefusedForPermission) {
    const auto file = dir.Path() / "ro.csv";
    const auto folder = dir.Path() / "ro-folder";
    WriteBytes(file, "keep");
    ::chmod(file.c_str(), 0444);
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir.Path().c_str(), 0755);
    const std::u16string_view h = header;
    EXPECT_TRUE(HoldsForAnOrdinaryUser([&] {
        return WriteCsvFile(file, h, kRecords).kind == FileErrorKind::Permission &&
               WriteCsvFile(folder / "new.csv", h, kRecords).kind == FileErrorKind::Permission;
    }));
    EXPECT_EQ(ReadBytes(file), "keep");
    EXPECT_EQ(EntriesIn(folder), 0u);
}

TEST_F(CsvFileTest, FolderProblemsAreNamed) {
    WriteBytes(dir.Path() / "plain", "x");
    std::filesystem::create_directory(dir.Path() / "sub");
    const struct {
        std::filesystem::path path;
        FileErrorKind kind;
    } cases[] = {
        {dir.Path() / "plain" / "out.csv", FileErrorKind::NotAFolder},
        {dir.Path() / "missing" / "out.csv", FileErrorKind::NoSuchFolder},
        {dir.Path() / "sub", FileErrorKind::IsAFolder},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriteCsvFile(c.path, header, kRecords).kind, c.kind) << c.path;
}

TEST_F(CsvFileTest, FifoGetsTheTextAndStaysAFifo) {
    const auto fifo = dir.Path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadBytes(fifo); });
    const FileResult result = WriteCsvFile(fifo, header, kRecords);
    reader.join();
    EXPECT_TRUE(result.Ok()) << DescribeFileError(result);
    EXPECT_EQ(received, Utf16LeBytes(CsvText(header, kRecords)));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file beside it
}

TEST_F(CsvFileTest, FullDeviceGivesDiskFullAndStaysADevice) {
    // Through a link as well: the link stays a link.
    const auto link = dir.Path() / "full.csv";
    std::filesystem::create_symlink("/dev/full", link);
    for (const std::filesystem::path& name : {std::filesystem::path("/dev/full"), link}) {
        const FileResult result = WriteCsvFile(name, header, kRecords);
        EXPECT_EQ(result.kind, FileErrorKind::DiskFull) << name;
        EXPECT_EQ(DescribeFileError(result),
                  "The disk is full: " + name.string() + " could not be written.");
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(CsvStdoutTest, StandardOutputIntoAPipeIsWrittenNotReplaced) {
    const std::u16string_view header = CsvHeader(ModelGroup::PPFD);
    for (const char* name : {"/dev/stdout", "-"}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::_exit(WriteCsvFile(name, header, kRecords).Ok() ? 0 : 1);
        }
        ::close(fds[1]);
        std::string received;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<std::size_t>(n));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
        EXPECT_EQ(received, Utf16LeBytes(CsvText(header, kRecords))) << name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
}

TEST(DescribeFileErrorTest, SaysWhyInOneSentence) {
    const struct {
        int error;
        std::string_view text;
    } cases[] = {
        {EACCES, "No permission to write /x/out.csv."},
        {EROFS, "/x/out.csv is on a read-only disk."},
        {ENOSPC, "The disk is full: /x/out.csv could not be written."},
        {EDQUOT, "The disk is full: /x/out.csv could not be written."},
        {ENOTDIR, "/x/out.csv is not a folder."},
        {EISDIR, "/x/out.csv is a folder."},
        {EWOULDBLOCK, "/x/out.csv is open in another program: close it there and try again."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeFileError(FileErrorOf(c.error, "/x/out.csv")), c.text) << c.error;
}

}  // namespace
}  // namespace qtm
