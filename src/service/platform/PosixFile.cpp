// The file layer on Linux and other POSIX systems.
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "service/platform/NativeFile.h"

namespace qtm {

NativeFile::~NativeFile() {
    Close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int NativeFile::Open(const std::string& path, unsigned flags, unsigned permissions) {
    Close();
    int mode = O_CLOEXEC | O_NOCTTY;
    if ((flags & kOpenRead) && (flags & kOpenWrite))
        mode |= O_RDWR;
    else if (flags & kOpenWrite)
        mode |= O_WRONLY;
    else
        mode |= O_RDONLY;
    if (flags & kOpenCreate) mode |= O_CREAT;
    if (flags & kOpenExclusive) mode |= O_EXCL;
    if (flags & kOpenTruncate) mode |= O_TRUNC;
    if (flags & kOpenAppend) mode |= O_APPEND;
    m_fd = ::open(path.c_str(), mode, static_cast<mode_t>(permissions));
    return m_fd < 0 ? errno : 0;
}

int NativeFile::OpenOwn(int descriptor) {
    Close();
    m_fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    return m_fd < 0 ? errno : 0;
}

bool NativeFile::IsOpen() const {
    return m_fd >= 0;
}

int NativeFile::Write(const void* data, std::size_t size, std::size_t* written) {
    *written = 0;
    while (true) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n >= 0) {
            *written = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int NativeFile::ReadAt(std::int64_t offset, void* data, std::size_t size, std::size_t* got) {
    *got = 0;
    while (true) {
        const ssize_t n = ::pread(m_fd, data, size, static_cast<off_t>(offset));
        if (n >= 0) {
            *got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int NativeFile::Truncate(std::int64_t size) {
    const auto end = static_cast<off_t>(size);
    if (::ftruncate(m_fd, end) != 0) return errno;
    return ::lseek(m_fd, end, SEEK_SET) == end ? 0 : errno;
}

int NativeFile::SyncData() {
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
}

int NativeFile::SyncAll() {
    return ::fsync(m_fd) == 0 ? 0 : errno;
}

int NativeFile::LockExclusive() {
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

int NativeFile::Status(FileKind* kind, std::int64_t* size) {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) return errno;
    *kind = S_ISREG(info.st_mode)   ? FileKind::Regular
            : S_ISDIR(info.st_mode) ? FileKind::Folder
                                    : FileKind::Other;
    *size = static_cast<std::int64_t>(info.st_size);
    return 0;
}

void NativeFile::TakePermissionsOf(const std::string& path) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(m_fd, old.st_mode & 07777);
}

int NativeFile::Close() {
    if (m_fd < 0) return 0;
    const int result = ::close(m_fd);
    m_fd = -1;
    // After EINTR the descriptor is gone all the same on Linux.
    return result != 0 && errno != EINTR ? errno : 0;
}

int RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: check, then rename (nobody else writes this folder's
    // names within the same millisecond).
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) return EEXIST;
    return RenameFile(from, to);
}

int RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int KindOf(const std::string& path, FileKind* kind, bool followLinks) {
    struct stat info {};
    const int result = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    if (result != 0) return errno;
    *kind = S_ISREG(info.st_mode)   ? FileKind::Regular
            : S_ISDIR(info.st_mode) ? FileKind::Folder
                                    : FileKind::Other;
    return 0;
}

int CheckWritable(const std::string& path, bool folder) {
    return ::access(path.c_str(), folder ? W_OK | X_OK : W_OK) == 0 ? 0 : errno;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int ProcessId() {
    return static_cast<int>(::getpid());
}

bool LocalTime(std::time_t time, std::tm* out) {
    return ::localtime_r(&time, out) != nullptr;
}

bool UniversalTime(std::time_t time, std::tm* out) {
    return ::gmtime_r(&time, out) != nullptr;
}

std::filesystem::path DataFolder() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The base directory rules: a relative XDG_DATA_HOME is invalid and ignored.
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return base / "QTM200Debug";
}

}  // namespace qtm
