#include "service/FileTarget.h"

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
    const auto ownFolder = std::filesystem::path("/proc") / std::to_string(ProcessId()) / "fd";
    if (folder != ownFolder) return -1;
    const std::string name = Utf8Of(path.filename());
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
        target.ownFd = kStandardOutput;
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

    if (FileKind kind{}; KindOf(Utf8Of(name), &kind) == 0 && kind == FileKind::Other) {
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
            // Whether the descriptor is open at all.
            NativeFile own;
            return FileErrorOf(own.OpenOwn(target.ownFd), target.path);
        }
        return FileErrorOf(CheckWritable(Utf8Of(target.path), false), target.path);
    }
    const std::filesystem::path folder = FolderOf(target.path);
    FileKind kind{};
    if (const int error = KindOf(Utf8Of(folder), &kind); error != 0)
        return FileErrorOf(error, folder);
    if (kind != FileKind::Folder) return FileResult{FileErrorKind::NotAFolder, ENOTDIR, folder};
    if (KindOf(Utf8Of(target.path), &kind) == 0) {
        if (kind == FileKind::Folder)
            return FileResult{FileErrorKind::IsAFolder, EISDIR, target.path};
        // A file the user protected from writing is not replaced behind their back.
        if (const int error = CheckWritable(Utf8Of(target.path), false); error != 0)
            return FileErrorOf(error, target.path);
    }
    // The temporary file is made in the folder, so the folder itself must take it.
    if (const int error = CheckWritable(Utf8Of(folder), true); error != 0)
        return FileErrorOf(error, folder);
    return {};
}

NativeFile OpenInPlace(const FileTarget& target, FileResult* error) {
    NativeFile file;
    const int failed =
        target.ownFd >= 0 ? file.OpenOwn(target.ownFd) : file.Open(Utf8Of(target.path), kOpenWrite);
    if (failed != 0 && error) *error = FileErrorOf(failed, target.path);
    return file;
}

int SyncData(NativeFile& file) {
    const int error = file.SyncData();
    return error == EINVAL || error == EROFS || error == ENOTSUP ? 0 : error;
}

}  // namespace qtm
