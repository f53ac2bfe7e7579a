#include "sim/SimMeter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/SimLine.h"

// The pseudo-terminal side of the simulator, Linux only.
namespace qtmsim {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

bool SimMeter::StartPty(std::string* error) {
    auto fail = [&](const char* what) {
        if (error) *error = Reason(what);
        CloseFd(m_masterFd);
        CloseFd(m_slaveFd);
        CloseFd(m_wakeFd);
        return false;
    };
    m_masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_masterFd < 0) return fail("posix_openpt");
    if (::grantpt(m_masterFd) != 0) return fail("grantpt");
    if (::unlockpt(m_masterFd) != 0) return fail("unlockpt");
    char name[128];
    if (::ptsname_r(m_masterFd, name, sizeof name) != 0) return fail("ptsname_r");

    // Our own handle on the slave keeps the terminal alive while the program closes
    // and reopens the port; without it the last close would hang the line up.
    m_slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveFd < 0) return fail("open slave");
    termios tio{};
    if (::tcgetattr(m_slaveFd, &tio) != 0) return fail("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    if (::tcsetattr(m_slaveFd, TCSANOW, &tio) != 0) return fail("tcsetattr");

    const int flags = ::fcntl(m_masterFd, F_GETFL);
    if (flags < 0 || ::fcntl(m_masterFd, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) return fail("eventfd");

    m_portPath = name;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void SimMeter::StopPty() {
    if (m_thread.joinable()) {
        WakePty();
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    CloseFd(m_masterFd);
    CloseFd(m_slaveFd);
    CloseFd(m_wakeFd);
}

void SimMeter::WakePty() {
    if (m_wakeFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void SimMeter::Serve() {
    std::uint8_t buffer[4096];
    while (m_running) {
        pollfd fds[2] = {{m_masterFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (!m_output.empty()) fds[0].events |= POLLOUT;
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) break;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_masterFd, buffer, sizeof buffer);
            if (n > 0) {
                OnBytes(buffer, static_cast<std::size_t>(n), [this](const auto& reply) {
                    m_output.insert(m_output.end(), reply.begin(), reply.end());
                    FlushOutput();
                });
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
        }
        if (!m_running) break;
        if (!m_output.empty() && (fds[0].revents & POLLOUT)) FlushOutput();
        if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN)) {
            // Only possible if our own slave handle were gone; do not spin on it.
            ::poll(nullptr, 0, 10);
        }
    }
    // A hang-up that came over the in-process line drops this line too.
    if (m_hungUp) CloseLine();
}

void SimMeter::FlushOutput() {
    while (!m_output.empty()) {
        const ssize_t n = ::write(m_masterFd, m_output.data(), m_output.size());
        if (n > 0) {
            m_output.erase(m_output.begin(), m_output.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // the line is full; poll tells us when it drains
        }
    }
}

void SimMeter::CloseLine() {
    // Closing the master hangs up every open handle on the slave side and removes
    // the device node; the port does not come back.
    std::lock_guard lock(m_mutex);
    m_output.clear();
    CloseFd(m_masterFd);
    CloseFd(m_slaveFd);
}

}  // namespace qtmsim
