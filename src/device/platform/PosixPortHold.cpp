#include "device/platform/PortHold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

namespace qtm {
namespace {

// The identity of a port, whatever name it was opened by (/dev/ttyUSB0 or a link to it
// under /dev/serial/by-id): the device number for a device node, else the file.
using PortKey = std::pair<dev_t, ino_t>;

PortKey KeyOf(const struct stat& info) {
    if (S_ISCHR(info.st_mode)) return {info.st_rdev, 0};
    return {info.st_dev, info.st_ino};
}

// The ports held in this process, one entry per hold. Exchanges on other threads look
// here while a hold is taken or let go.
std::mutex g_heldMutex;
std::vector<PortKey> g_held;

bool HeldLocked(const PortKey& key) {
    return std::find(g_held.begin(), g_held.end(), key) != g_held.end();
}

}  // namespace

PortHold::~PortHold() {
    Release();
}

bool PortHold::Take(const std::string& path, PortError* error) {
    Release();
    auto fail = [&](int fd, int err) {
        if (fd >= 0) ::close(fd);
        if (error) *error = MakePortError(path, err);
        return false;
    };
    // Non-blocking so a modem line never waits for carrier; nothing is ever read here.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(-1, errno);
    if (!::isatty(fd)) return fail(fd, ENOTTY);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(fd, errno);
    const PortKey key = KeyOf(info);

    std::lock_guard lock(g_heldMutex);
    // A second hold in this process shares the first one's lock (its own would be refused
    // by it). No TIOCEXCL here: it would refuse this process's own reopens for the
    // exchanges as well, for any user but root.
    if (!HeldLocked(key) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(fd, errno);
    g_held.push_back(key);
    m_fd = fd;
    m_device = key.first;
    m_inode = key.second;
    if (error) *error = PortError{};
    return true;
}

void PortHold::Release() {
    if (m_fd < 0) return;
    {
        std::lock_guard lock(g_heldMutex);
        const auto at = std::find(g_held.begin(), g_held.end(), PortKey{m_device, m_inode});
        if (at != g_held.end()) g_held.erase(at);
    }
    ::close(m_fd);
    m_fd = -1;
}

bool IsPortHeldHere(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    std::lock_guard lock(g_heldMutex);
    return HeldLocked(KeyOf(info));
}

}  // namespace qtm
