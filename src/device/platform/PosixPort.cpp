#include "device/platform/PosixPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "device/platform/PortHold.h"

namespace qtm {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void Fail(PortError* error, const std::string& path, int err) {
    if (error) *error = MakePortError(path, err);
}

}  // namespace

unsigned BaudToSpeed(int baudRate) {
    switch (baudRate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        default:
            return 0;
    }
}

PosixPort::~PosixPort() {
    Close();
}

bool PosixPort::Open(const std::string& path, int baudRate, PortError* error) {
    Close();
    // Non-blocking so that opening a modem line never waits for carrier; every read
    // and write below waits with poll() instead.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        Fail(error, path, err);
        // The dialout group only opens serial devices: a refused regular file, folder or
        // other non-device is simply not a serial port, whoever may open it.
        struct stat info {};
        if (error && error->kind == PortErrorKind::PermissionDenied &&
            ::stat(path.c_str(), &info) == 0 && !S_ISCHR(info.st_mode))
            error->kind = PortErrorKind::NotATerminal;
        return false;
    }
    auto giveUp = [&](int err) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        Fail(error, path, err);
        return false;
    };
    if (!::isatty(fd)) return giveUp(ENOTTY);
    // Two locks: TIOCEXCL keeps other users' programs out, flock() also keeps out a
    // second open by root or by this process, which TIOCEXCL lets through. A port this
    // process holds for a run (PortHold) has our lock already, on the hold's descriptor,
    // which would refuse a second one taken here.
    if (!IsPortHeldHere(fd) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        Fail(error, path, err);
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) return giveUp(errno);

    const unsigned speed = BaudToSpeed(baudRate);
    if (speed == 0) return giveUp(EINVAL);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return giveUp(errno);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return giveUp(errno);
    // A late reply to an earlier command may still sit in the line's queue; it must not
    // be taken for the reply to the next request.
    ::tcflush(fd, TCIFLUSH);

    m_fd = fd;
    // Without an eventfd only the watch thread's waits are lost; the port still works.
    m_wakeFd.store(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (error) *error = PortError{};
    return true;
}

void PosixPort::Close() {
    if (m_fd >= 0) {
        // The exclusive flag belongs to the terminal, not to this handle: left set, it
        // would refuse the next open of a port that another handle keeps open.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
    const int wake = m_wakeFd.exchange(-1);
    if (wake >= 0) ::close(wake);
}

long PosixPort::Read(std::uint8_t* buffer, std::size_t length) {
    if (m_fd < 0) return -1;
    if (length == 0) return 0;
    const bool atOnce = m_timeouts.intervalMs == ReadTimeouts::kReturnAtOnce &&
                        m_timeouts.totalMultiplierMs == 0 && m_timeouts.totalConstantMs == 0;
    const bool hasTotal = m_timeouts.totalMultiplierMs > 0 || m_timeouts.totalConstantMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(
                                             static_cast<long long>(m_timeouts.totalMultiplierMs) *
                                                 static_cast<long long>(length) +
                                             m_timeouts.totalConstantMs);
    std::size_t got = 0;
    while (got < length) {
        int waitMs = -1;
        if (atOnce) {
            waitMs = 0;
        } else {
            if (hasTotal) waitMs = MsUntil(deadline);
            // The interval time-out runs only once the first byte is in.
            if (got > 0 && m_timeouts.intervalMs >= 0)
                waitMs =
                    waitMs < 0 ? m_timeouts.intervalMs : std::min(waitMs, m_timeouts.intervalMs);
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return got > 0 ? static_cast<long>(got) : -1;
        }
        if (ready == 0) break;
        if ((pfd.revents & POLLIN) == 0) {
            // Hung up or in error with nothing left to read.
            return got > 0 ? static_cast<long>(got) : -1;
        }
        const ssize_t n = ::read(m_fd, buffer + got, length - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return got > 0 ? static_cast<long>(got) : -1;
        }
        if (n == 0) return got > 0 ? static_cast<long>(got) : -1;
        got += static_cast<std::size_t>(n);
        if (atOnce) break;
    }
    return static_cast<long>(got);
}

long PosixPort::Write(const std::uint8_t* data, std::size_t length, int timeoutMs) {
    if (m_fd < 0) return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) break;
        pollfd pfd{m_fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, MsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (pfd.revents & POLLOUT) == 0) break;
    }
    if (done == 0 && length > 0) return -1;
    return static_cast<long>(done);
}

void PosixPort::PurgeInput() {
    if (m_fd >= 0) ::tcflush(m_fd, TCIFLUSH);
}

long PosixPort::InputWaiting() {
    if (m_fd < 0) return -1;
    int count = 0;
    if (::ioctl(m_fd, FIONREAD, &count) != 0) return -1;
    return count;
}

WaitOutcome PosixPort::WaitEvent(bool watchInput, int timeoutMs) {
    const int wake = m_wakeFd.load();
    if (m_fd < 0 || wake < 0) return WaitOutcome::Failed;
    pollfd pfds[2] = {{wake, POLLIN, 0}, {m_fd, POLLIN, 0}};
    const nfds_t count = watchInput ? 2 : 1;
    for (;;) {
        const int ready = ::poll(pfds, count, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return WaitOutcome::Failed;
        if (ready == 0) return WaitOutcome::Timeout;
        break;
    }
    if (pfds[0].revents & POLLIN) return WaitOutcome::Woken;
    if (watchInput) {
        if (pfds[1].revents & POLLIN) return WaitOutcome::Input;
        if (pfds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitOutcome::Failed;
    }
    return WaitOutcome::Timeout;
}

void PosixPort::WakeWaiter() {
    const int wake = m_wakeFd.load();
    if (wake < 0) return;
    const std::uint64_t one = 1;
    // The counter only needs to become nonzero; a full counter is still a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(wake, &one, sizeof one);
}

TransportFactory SystemTransportFactory() {
    return [] { return std::make_unique<PosixPort>(); };
}

}  // namespace qtm
