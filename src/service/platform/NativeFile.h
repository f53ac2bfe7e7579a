// The system's files as the service code needs them, the same on Linux and Windows: a file
// handle and a few calls on names. Paths are UTF-8; errors are errno numbers (0 for none),
// so the messages built from them read the same on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace qtm {

// How NativeFile::Open opens a file; combined with |.
enum OpenFlag : unsigned {
    kOpenRead = 1u << 0,
    kOpenWrite = 1u << 1,
    kOpenCreate = 1u << 2,     // made when missing
    kOpenExclusive = 1u << 3,  // with kOpenCreate: fails with EEXIST when the name is taken
    kOpenTruncate = 1u << 4,   // emptied when opened
    kOpenAppend = 1u << 5,     // every write lands at the end, whoever else writes the file
};

// The descriptor number of standard output, as FileTarget keeps it.
constexpr int kStandardOutput = 1;

enum class FileKind { Regular, Folder, Other };

// An open file: move-only, closed when destroyed.
class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile();
    NativeFile(NativeFile&& other) noexcept;
    NativeFile& operator=(NativeFile&& other) noexcept;
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Opens path (UTF-8) with OpenFlag bits. permissions is what a new file gets less the
    // user's umask (Windows has no such bits and ignores it).
    int Open(const std::string& path, unsigned flags, unsigned permissions = 0666);
    // A handle of its own to a descriptor this process already has (standard output, say),
    // so closing it leaves the original open. Windows knows 0, 1 and 2 only.
    int OpenOwn(int descriptor);

    bool IsOpen() const;
    // Writes up to size bytes (once, going on after interruptions); *written says how many.
    int Write(const void* data, std::size_t size, std::size_t* written);
    // Reads up to size bytes from offset; *got is 0 at the end.
    int ReadAt(std::int64_t offset, void* data, std::size_t size, std::size_t* got);
    // Cuts the file (or makes it longer) to size; later writes without kOpenAppend go on there.
    int Truncate(std::int64_t size);
    // The data on the disk; SyncAll also the file's times and size. What is no disk file (a
    // pipe, a terminal) gives EINVAL.
    int SyncData();
    int SyncAll();
    // An exclusive lock held until the file is closed; EWOULDBLOCK (Linux) or EBUSY
    // (Windows) when another handle holds one.
    int LockExclusive();
    int Status(FileKind* kind, std::int64_t* size);
    // Gives this file the permission bits of the file at path, if there is one (Windows
    // has no such bits: nothing happens there).
    void TakePermissionsOf(const std::string& path);
    // Closes the handle; an interrupted close counts as done.
    int Close();

private:
#ifdef _WIN32
    void* m_handle = nullptr;  // a HANDLE; null when closed
    bool m_appendOnly = false;
#else
    int m_fd = -1;
#endif
};

// Renames from over to, replacing what is there, in one step: a reader of the old file keeps
// it, a new open finds the new one. Windows before 10 cannot replace a file that is open
// elsewhere and says EACCES.
int RenameFile(const std::string& from, const std::string& to);
// Renames from to to only when to does not exist (EEXIST then).
int RenameNoReplace(const std::string& from, const std::string& to);
int RemoveFile(const std::string& path);
// What is at path; with followLinks false a link is Other (Linux) and not what it names.
int KindOf(const std::string& path, FileKind* kind, bool followLinks = true);
// Whether this process may write the file, or (folder) make files in the folder.
int CheckWritable(const std::string& path, bool folder);
// Makes the names in folder (a new or renamed file) last through a power cut. Best effort;
// on Windows the rename itself writes through.
void SyncFolder(const std::string& folder);

int ProcessId();
// std::localtime and std::gmtime without their shared buffer; false when time is out of range.
bool LocalTime(std::time_t time, std::tm* out);
bool UniversalTime(std::time_t time, std::tm* out);

// $XDG_DATA_HOME/QTM200Debug (absolute only), else ~/.local/share/QTM200Debug; on Windows
// %APPDATA%\QTM200Debug. The temporary folder when neither is known.
std::filesystem::path DataFolder();

// UTF-8 text of a path, and a path from UTF-8 text: on Windows std::filesystem reads and
// writes std::string in the ANSI code page, which cannot hold every name.
std::string Utf8Of(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

}  // namespace qtm
