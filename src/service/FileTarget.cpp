#include "service/FileTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

namespace qtm {
namespace {

constexpr int kMaxLinkHops = 40;  // as the system's own limit on nested links

// The descriptor number when path names one of this process's descriptors through the
// /proc/self/fd folder (which /dev/fd, /dev/stdout and /proc/PID/fd lead to), else -1.
int OwnDescriptorOf(const std::filesystem::path& path) {
    std::error_code ec;
    const auto folder = std::filesystem::canonical(path.parent_path(), ec);
    if (ec) return -1;
    const auto ownFolder = std::filesystem::path("/proc") / std::to_string(::getpid()) / "fd";
    if (folder != ownFolder) return -1;
    const std::string name = path.filename().string();
    int fd = -1;
    const auto [end, failed] = std::from_chars(name.data(), name.data() + name.size(), fd);
    if (failed != std::errc{} || end != name.data() + name.size() || fd < 0) return -1;
    return fd;
}

// The folder a file to replace lives in, for the checks and the temporary file.
std::filesystem::path FolderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

FileTarget ResolveFileTarget(const std::filesystem::path& name) {
    FileTarget target;
    target.path = name;
    if (name == "-") {
        target.kind = TargetKind::InPlace;
        target.ownFd = STDOUT_FILENO;
        return target;
    }
    // Walk the links one by one: the last of a chain through /proc/self/fd is the
    // system's picture of a descriptor ("pipe:[1234]"), not a name that can be replaced.
    std::error_code ec;
    std::filesystem::path hop = name;
    for (int i = 0; i < kMaxLinkHops; ++i) {
        if (const int fd =
                OwnDescriptorOf(hop.is_absolute() ? hop : std::filesystem::absolute(hop));
            fd >= 0) {
            target.kind = TargetKind::InPlace;
            target.ownFd = fd;
            return target;
        }
        if (!std::filesystem::is_symlink(hop, ec)) break;
        const std::filesystem::path next = std::filesystem::read_symlink(hop, ec);
        if (ec) break;
        hop = next.is_absolute() ? next : FolderOf(hop) / next;
    }

    struct stat info {};
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        target.kind = TargetKind::InPlace;
        return target;
    }
    // Through a link the file it names is replaced, not the link.
    if (std::filesystem::is_symlink(name, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(name, ec);
        if (!ec) target.path = resolved;
    }
    return target;
}

FileResult CheckFileTarget(const FileTarget& target) {
    if (target.kind == TargetKind::InPlace) {
        if (target.ownFd >= 0) {
            if (::fcntl(target.ownFd, F_GETFL) < 0) return FileErrorOf(errno, target.path);
            return {};
        }
        if (::access(target.path.c_str(), W_OK) != 0) return FileErrorOf(errno, target.path);
        return {};
    }
    const std::filesystem::path folder = FolderOf(target.path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return FileErrorOf(errno, folder);
    if (!S_ISDIR(info.st_mode)) return FileResult{FileErrorKind::NotAFolder, ENOTDIR, folder};
    if (::stat(target.path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return FileResult{FileErrorKind::IsAFolder, EISDIR, target.path};
        // A file the user protected from writing is not replaced behind their back.
        if (::access(target.path.c_str(), W_OK) != 0) return FileErrorOf(errno, target.path);
    }
    // The temporary file is made in the folder, so the folder itself must take it.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return FileErrorOf(errno, folder);
    return {};
}

int OpenInPlace(const FileTarget& target, FileResult* error) {
    const int fd = target.ownFd >= 0 ? ::fcntl(target.ownFd, F_DUPFD_CLOEXEC, 0)
                                     : ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && error) *error = FileErrorOf(errno, target.path);
    return fd;
}

int SyncData(int fd) {
    if (::fdatasync(fd) == 0) return 0;
    const int error = errno;
    return error == EINVAL || error == EROFS || error == ENOTSUP ? 0 : error;
}

}  // namespace qtm
