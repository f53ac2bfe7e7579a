#include "service/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "service/FileTarget.h"

namespace qtm {
namespace {

std::atomic<unsigned> g_wholeFileCounter{0};

// Hidden, and tagged with the process and a counter, so two saves never share a name.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target, unsigned attempt) {
    const std::string name = "." + target.filename().string() + ".part-" +
                             std::to_string(::getpid()) + "-" +
                             std::to_string(g_wholeFileCounter.fetch_add(1) + attempt);
    return target.parent_path() / name;
}

// 0 or the system's error number; the descriptor is closed in every case.
int WriteAndClose(int fd, std::string_view bytes) {
    int error = WriteAll(fd, bytes.data(), bytes.size()) ? 0 : errno;
    if (error == 0) error = SyncData(fd);
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    return error;
}

}  // namespace

FileResult WriteWholeFile(const std::filesystem::path& chosen, std::string_view bytes) {
    const FileTarget resolved = ResolveFileTarget(chosen);
    if (FileResult check = CheckFileTarget(resolved); !check.Ok()) return check;
    if (resolved.kind == TargetKind::InPlace) {
        FileResult opened;
        const int fd = OpenInPlace(resolved, &opened);
        if (fd < 0) return opened;
        return FileErrorOf(WriteAndClose(fd, bytes), resolved.path);
    }
    const std::filesystem::path& target = resolved.path;

    std::filesystem::path temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TemporaryNameFor(target, attempt);
        // 0666 less the user's umask, as any new file of theirs.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            // Without the right to create a file there, the folder is what the user must change.
            const bool folderRefused =
                (error == EACCES || error == EPERM) && target.has_parent_path();
            return FileErrorOf(error, folderRefused ? target.parent_path() : target);
        }
    }
    if (fd < 0) return FileErrorOf(EEXIST, target);

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

    // The data is on the disk before the name points at it: a power cut right after the
    // rename must not leave an empty file where the old one was.
    int error = WriteAndClose(fd, bytes);
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return FileErrorOf(error, target);
    }
    // The new name lives in the folder, which is synced too.
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

}  // namespace qtm
