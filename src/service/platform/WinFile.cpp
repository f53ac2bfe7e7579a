// The file layer on Windows. Names are UTF-8 in the program and UTF-16 for the system; the
// system's error codes become the errno numbers the rest of the program reports.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "device/platform/WinWideText.h"
#include "service/platform/NativeFile.h"

namespace qtm {
namespace {

// Every handle lets others read, write, rename and delete the file, as on Linux: a rename over
// a file that is open elsewhere must work.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A rename over a file that another program holds is tried again for half a second.
constexpr int kRenameAttempts = 6;
constexpr DWORD kRenameRetryMs = 100;
// Writes and reads go in pieces a DWORD can count.
constexpr std::size_t kMaxPiece = 1u << 30;

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        default:
            return EIO;
    }
}

int LastErrno() {
    return ErrnoOf(::GetLastError());
}

HANDLE HandleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Attributes of a name; through a link, of what it names when follow is set.
int AttributesOf(const std::wstring& name, bool follow, DWORD* attributes) {
    *attributes = ::GetFileAttributesW(name.c_str());
    if (*attributes == INVALID_FILE_ATTRIBUTES) return LastErrno();
    if (!follow || !(*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    const HANDLE h = ::CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    const int error = ok ? 0 : LastErrno();
    ::CloseHandle(h);
    if (ok) *attributes = info.dwFileAttributes;
    return error;
}

// The rename of Windows 10 that works as on Linux: a file open elsewhere is replaced, its
// readers keep the old data. Declared here, as the headers name them only for Windows 10.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// FILE_RENAME_INFO as Windows 10 lays it out, with flags where older headers have a BOOLEAN.
struct RenameInfoEx {
    DWORD flags;
    HANDLE rootDirectory;
    DWORD fileNameLength;
    WCHAR fileName[1];
};
static_assert(offsetof(RenameInfoEx, rootDirectory) == offsetof(FILE_RENAME_INFO, RootDirectory));
static_assert(offsetof(RenameInfoEx, fileName) == offsetof(FILE_RENAME_INFO, FileName));

// Whether another handle has name open without letting it be deleted or renamed over.
bool HeldWithoutDeleteSharing(const std::wstring& name) {
    const HANDLE h = ::CreateFileW(name.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Renames source over target when MoveFileExW is refused because target is open elsewhere.
bool RenameOverOpenFile(const std::wstring& source, const std::wstring& target) {
    const DWORD length = ::GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(target.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return false;
    full.resize(written);
    const std::size_t nameBytes = full.size() * sizeof(WCHAR);
    std::vector<unsigned char> buffer(sizeof(RenameInfoEx) + nameBytes);
    RenameInfoEx info{};
    info.flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info.fileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(buffer.data(), &info, sizeof info);
    std::memcpy(buffer.data() + offsetof(RenameInfoEx, fileName), full.data(), nameBytes);
    const HANDLE h = ::CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::SetFileInformationByHandle(h, kFileRenameInfoEx, buffer.data(),
                                                 static_cast<DWORD>(buffer.size())) != 0;
    ::CloseHandle(h);
    return ok;
}

}  // namespace

NativeFile::~NativeFile() {
    Close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : m_handle(other.m_handle), m_appendOnly(other.m_appendOnly) {
    other.m_handle = nullptr;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_appendOnly = other.m_appendOnly;
        other.m_handle = nullptr;
    }
    return *this;
}

int NativeFile::Open(const std::string& path, unsigned flags, unsigned permissions) {
    (void)permissions;  // no permission bits on Windows
    Close();
    std::wstring name;
    if (!WideFromUtf8(path, &name)) return EINVAL;
    DWORD access = 0;
    if (flags & kOpenRead) access |= GENERIC_READ;
    // Append-only access makes the system put every write at the end of the file.
    if (flags & kOpenAppend)
        access |= FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    else if (flags & kOpenWrite)
        access |= GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & kOpenCreate) && (flags & kOpenExclusive))
        disposition = CREATE_NEW;
    else if ((flags & kOpenCreate) && (flags & kOpenTruncate))
        disposition = CREATE_ALWAYS;
    else if (flags & kOpenCreate)
        disposition = OPEN_ALWAYS;
    else if (flags & kOpenTruncate)
        disposition = TRUNCATE_EXISTING;
    const HANDLE h = ::CreateFileW(name.c_str(), access, kShareAll, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    m_handle = h;
    m_appendOnly = (flags & kOpenAppend) != 0;
    return 0;
}

int NativeFile::OpenOwn(int descriptor) {
    Close();
    const DWORD which = descriptor == 0   ? STD_INPUT_HANDLE
                        : descriptor == 1 ? STD_OUTPUT_HANDLE
                        : descriptor == 2 ? STD_ERROR_HANDLE
                                          : 0;
    if (which == 0) return EBADF;
    const HANDLE standard = ::GetStdHandle(which);
    if (standard == nullptr || standard == INVALID_HANDLE_VALUE) return EBADF;
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), standard, ::GetCurrentProcess(), &own, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return LastErrno();
    m_handle = own;
    m_appendOnly = false;
    return 0;
}

bool NativeFile::IsOpen() const {
    return m_handle != nullptr;
}

int NativeFile::Write(const void* data, std::size_t size, std::size_t* written) {
    *written = 0;
    DWORD n = 0;
    if (!::WriteFile(HandleOf(m_handle), data, static_cast<DWORD>(std::min(size, kMaxPiece)), &n,
                     nullptr))
        return LastErrno();
    *written = n;
    return 0;
}

int NativeFile::ReadAt(std::int64_t offset, void* data, std::size_t size, std::size_t* got) {
    *got = 0;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD n = 0;
    if (!::ReadFile(HandleOf(m_handle), data, static_cast<DWORD>(std::min(size, kMaxPiece)), &n,
                    &at)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_HANDLE_EOF ? 0 : ErrnoOf(error);
    }
    *got = n;
    return 0;
}

int NativeFile::Truncate(std::int64_t size) {
    // Setting the end needs write access to the data, which an append-only handle lacks: a
    // second handle to the same file has it.
    HANDLE h = HandleOf(m_handle);
    if (m_appendOnly) {
        h = ::ReOpenFile(h, GENERIC_WRITE, kShareAll, 0);
        if (h == INVALID_HANDLE_VALUE) return LastErrno();
    }
    LARGE_INTEGER end{};
    end.QuadPart = size;
    const bool ok = ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
    const int error = ok ? 0 : LastErrno();
    if (m_appendOnly) ::CloseHandle(h);
    return error;
}

int NativeFile::SyncData() {
    return SyncAll();
}

int NativeFile::SyncAll() {
    // Pipes and consoles have nothing to put on a disk, as fdatasync says of them on Linux.
    if (::GetFileType(HandleOf(m_handle)) != FILE_TYPE_DISK) return EINVAL;
    return ::FlushFileBuffers(HandleOf(m_handle)) ? 0 : LastErrno();
}

int NativeFile::LockExclusive() {
    // Windows locks are mandatory: a lock over the data would stop readers of the file. The
    // lock is on one byte far past any data, which only other lockers meet.
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFFu;
    at.OffsetHigh = 0x7FFFFFFFu;
    if (::LockFileEx(HandleOf(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                     0, &at))
        return 0;
    return LastErrno();
}

int NativeFile::Status(FileKind* kind, std::int64_t* size) {
    const HANDLE h = HandleOf(m_handle);
    *size = 0;
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        *kind = FileKind::Other;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return LastErrno();
    *kind =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
    *size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                      info.nFileSizeLow);
    return 0;
}

void NativeFile::TakePermissionsOf(const std::string& path) {
    (void)path;  // Windows files have no permission bits to copy
}

int NativeFile::Close() {
    if (m_handle == nullptr) return 0;
    const bool ok = ::CloseHandle(HandleOf(m_handle)) != 0;
    m_handle = nullptr;
    return ok ? 0 : LastErrno();
}

int RenameFile(const std::string& from, const std::string& to) {
    std::wstring source;
    std::wstring target;
    if (!WideFromUtf8(from, &source) || !WideFromUtf8(to, &target)) return EINVAL;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        if (attempt > 0) ::Sleep(kRenameRetryMs);
        // Write-through stands for the folder sync of Linux: the move is on the disk on return.
        if (::MoveFileExW(source.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        // A target another handle has open cannot be replaced the old way, only the new one.
        if (RenameOverOpenFile(source, target)) return 0;
        // A program that opened the file without letting others delete it (as spreadsheet
        // programs do) keeps it until it closes it: the user must be told so, not that they
        // lack a permission they have. A virus scanner or an indexer lets go in a moment.
        if (!HeldWithoutDeleteSharing(target)) break;
        error = ERROR_SHARING_VIOLATION;
    }
    return ErrnoOf(error);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    std::wstring source;
    std::wstring target;
    if (!WideFromUtf8(from, &source) || !WideFromUtf8(to, &target)) return EINVAL;
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : LastErrno();
}

int RemoveFile(const std::string& path) {
    std::wstring name;
    if (!WideFromUtf8(path, &name)) return EINVAL;
    return ::DeleteFileW(name.c_str()) ? 0 : LastErrno();
}

int KindOf(const std::string& path, FileKind* kind, bool followLinks) {
    std::wstring name;
    if (!WideFromUtf8(path, &name)) return EINVAL;
    DWORD attributes = 0;
    if (const int error = AttributesOf(name, followLinks, &attributes); error != 0) return error;
    if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        *kind = FileKind::Other;
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        *kind = FileKind::Folder;
    else if (attributes & FILE_ATTRIBUTE_DEVICE)
        *kind = FileKind::Other;
    else
        *kind = FileKind::Regular;
    return 0;
}

int CheckWritable(const std::string& path, bool folder) {
    std::wstring name;
    if (!WideFromUtf8(path, &name)) return EINVAL;
    DWORD attributes = 0;
    if (const int error = AttributesOf(name, true, &attributes); error != 0) return error;
    if (folder) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
    // The read-only attribute is what stands for a file without write permission; a folder's
    // says nothing, and its access list shows only when a file is made there.
    return (attributes & FILE_ATTRIBUTE_READONLY) ? EACCES : 0;
}

void SyncFolder(const std::string& folder) {
    (void)folder;  // renames write through instead
}

int ProcessId() {
    return static_cast<int>(::GetCurrentProcessId());
}

bool LocalTime(std::time_t time, std::tm* out) {
    return ::localtime_s(out, &time) == 0;
}

bool UniversalTime(std::time_t time, std::tm* out) {
    return ::gmtime_s(out, &time) == 0;
}

std::filesystem::path DataFolder() {
    std::filesystem::path base;
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    if (appData != nullptr && appData[0] != L'\0' && std::filesystem::path(appData).is_absolute())
        base = appData;
    else
        base = std::filesystem::temp_directory_path();
    return base / L"QTM200Debug";
}

}  // namespace qtm
