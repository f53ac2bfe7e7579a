#include "service/platform/NativeFile.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "device/TempDir.h"
#include "service/WholeFile.h"

namespace qtm {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadAll(NativeFile& file) {
    std::string bytes(64, '\0');
    std::size_t got = 0;
    EXPECT_EQ(file.ReadAt(0, bytes.data(), bytes.size(), &got), 0);
    bytes.resize(got);
    return bytes;
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++entries;
    return entries;
}

bool Put(NativeFile& file, std::string_view text) {
    std::size_t written = 0;
    return file.Write(text.data(), text.size(), &written) == 0 && written == text.size();
}

class NativeFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string target = Utf8Of(dir.Path() / "log.csv");
};

TEST_F(NativeFileTest, ReplacingAFileThatIsOpenKeepsTheReadersViewAndGivesNewOpensTheNewOne) {
#ifdef _WIN32
    // Windows 10 replaces an open file through its POSIX-style rename; wine 8 has neither
    // that nor a MoveFileExW over an open file, so there the case proves nothing.
    if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
        GTEST_SKIP() << "wine cannot replace a file another handle has open";
#endif
    ASSERT_TRUE(WriteWholeFile(target, "old").Ok());
    NativeFile reader;
    ASSERT_EQ(reader.Open(target, kOpenRead), 0);
    ASSERT_TRUE(WriteWholeFile(target, "new text").Ok());
    EXPECT_EQ(ReadAll(reader), "old");
    NativeFile again;
    ASSERT_EQ(again.Open(target, kOpenRead), 0);
    EXPECT_EQ(ReadAll(again), "new text");
}

#ifdef _WIN32
TEST_F(NativeFileTest, AFileHeldWithoutDeleteSharingIsReportedInUseAndKeptWhole) {
    ASSERT_TRUE(WriteWholeFile(target, "the old file").Ok());
    // As a spreadsheet program holds the file it shows.
    const HANDLE held = ::CreateFileW(PathFromUtf8(target).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileResult result = WriteWholeFile(target, "new text");
    ::CloseHandle(held);
    EXPECT_EQ(result.kind, FileErrorKind::InUse);
    EXPECT_EQ(DescribeFileError(result),
              target + " is open in another program: close it there and try again.");
    EXPECT_EQ(ReadBytes(target), "the old file");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
    EXPECT_TRUE(WriteWholeFile(target, "new text").Ok());
    EXPECT_EQ(ReadBytes(target), "new text");
}
#endif

TEST_F(NativeFileTest, FailedWholeWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
    ASSERT_TRUE(WriteWholeFile(target, "the old file").Ok());
    const FileResult result = WriteFileThrough(target, [](NativeFile& file) {
        Put(file, "half of the");
        return ENOSPC;
    });
    EXPECT_EQ(result.kind, FileErrorKind::DiskFull);
    EXPECT_EQ(ReadBytes(target), "the old file");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST_F(NativeFileTest, AppendsLandAtTheEndAndACutIsAppendedAfter) {
    NativeFile first;
    NativeFile second;
    const unsigned flags = kOpenRead | kOpenWrite | kOpenCreate | kOpenAppend;
    ASSERT_EQ(first.Open(target, flags), 0);
    ASSERT_EQ(second.Open(target, flags), 0);
    EXPECT_TRUE(Put(first, "a1\n"));
    EXPECT_TRUE(Put(second, "b1\n"));
    EXPECT_TRUE(Put(first, "a2 cut"));
    // Taking a cut row back works on a handle that may only append.
    ASSERT_EQ(first.Truncate(6), 0);
    EXPECT_TRUE(Put(first, "a2\n"));
    EXPECT_EQ(first.SyncData(), 0);
    EXPECT_EQ(ReadAll(second), "a1\nb1\na2\n");
    FileKind kind{};
    std::int64_t size = 0;
    ASSERT_EQ(second.Status(&kind, &size), 0);
    EXPECT_EQ(kind, FileKind::Regular);
    EXPECT_EQ(size, 9);
}

TEST_F(NativeFileTest, ALockKeepsOutOtherLockersButNotReaders) {
    NativeFile writer;
    ASSERT_EQ(writer.Open(target, kOpenWrite | kOpenCreate), 0);
    ASSERT_EQ(writer.LockExclusive(), 0);
    ASSERT_TRUE(Put(writer, "rows"));
    NativeFile other;
    ASSERT_EQ(other.Open(target, kOpenRead), 0);
    EXPECT_NE(other.LockExclusive(), 0);
    EXPECT_EQ(ReadAll(other), "rows");
    writer.Close();
    EXPECT_EQ(other.LockExclusive(), 0);
}

TEST_F(NativeFileTest, ErrorsAreTheSystemsErrnoNumbersAndNamesMayBeAnyUtf8) {
    NativeFile file;
    EXPECT_EQ(file.Open(Utf8Of(dir.Path() / "none" / "x"), kOpenWrite | kOpenCreate), ENOENT);
    ASSERT_TRUE(WriteWholeFile(target, "kept").Ok());
    EXPECT_EQ(file.Open(target, kOpenWrite | kOpenCreate | kOpenExclusive), EEXIST);
    const std::string other = Utf8Of(dir.Path()) + "/Messung \xC2\xB5W \xE6\x97\xA5.csv";
    ASSERT_TRUE(WriteWholeFile(PathFromUtf8(other), "other").Ok());
    EXPECT_EQ(RenameNoReplace(other, target), EEXIST);
    EXPECT_EQ(ReadBytes(target), "kept");
    FileKind kind{};
    ASSERT_EQ(KindOf(other, &kind), 0);
    EXPECT_EQ(kind, FileKind::Regular);
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        found = found || Utf8Of(entry.path().filename()) == "Messung \xC2\xB5W \xE6\x97\xA5.csv";
    EXPECT_TRUE(found);
    EXPECT_EQ(RemoveFile(other), 0);
    EXPECT_EQ(KindOf(other, &kind), ENOENT);
}

}  // namespace
}  // namespace qtm
