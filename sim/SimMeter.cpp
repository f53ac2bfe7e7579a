#include "sim/SimMeter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

SimMeter::SimMeter(MeterConfig config)
    : m_config(std::move(config)), m_model(std::make_unique<MeterModel>(m_config)) {
    if (!m_config.rs485) return;
    const unsigned long long serial = std::strtoull(m_config.serial.c_str(), nullptr, 10);
    for (const std::uint8_t address : m_config.moreAddresses) {
        if (address == m_config.address) continue;
        MeterConfig other = m_config;
        other.address = address;
        other.moreAddresses.clear();
        other.serial = std::to_string(serial + address - m_config.address);
        m_others.push_back(std::make_unique<MeterModel>(other));
        m_otherAddresses.push_back(address);
    }
}

SimMeter::~SimMeter() {
    Stop();
}

bool SimMeter::Start(std::string* error) {
    auto fail = [&](const char* what) {
        if (error) *error = Reason(what);
        CloseFd(m_masterFd);
        CloseFd(m_slaveFd);
        CloseFd(m_wakeFd);
        return false;
    };
    if (m_thread.joinable() || m_masterFd >= 0) {
        if (error) *error = "simulator already started";
        return false;
    }

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
    m_startTime = std::chrono::steady_clock::now();
    m_running = true;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void SimMeter::Stop() {
    if (m_thread.joinable()) {
        if (m_wakeFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        }
        m_thread.join();
    }
    m_running = false;
    std::lock_guard lock(m_mutex);
    CloseFd(m_masterFd);
    CloseFd(m_slaveFd);
    CloseFd(m_wakeFd);
}

std::vector<Request> SimMeter::RequestLog() const {
    std::lock_guard lock(m_mutex);
    return std::vector<Request>(m_log.begin(), m_log.end());
}

void SimMeter::SetLogLimit(std::size_t limit) {
    std::lock_guard lock(m_mutex);
    m_logLimit = limit;
    while (m_log.size() > m_logLimit)
        m_log.pop_front();
}

void SimMeter::ClearLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

void SimMeter::SetFault(Fault fault) {
    std::lock_guard lock(m_mutex);
    m_model->SetFault(fault);
}

void SimMeter::SetFaultAt(std::uint8_t address, Fault fault) {
    std::lock_guard lock(m_mutex);
    if (address == m_config.address) m_model->SetFault(fault);
    for (std::size_t i = 0; i < m_others.size(); ++i) {
        if (m_otherAddresses[i] == address) m_others[i]->SetFault(fault);
    }
}

void SimMeter::SetReplyOverride(ReplyOverride hook) {
    std::lock_guard lock(m_mutex);
    m_override = std::move(hook);
}

void SimMeter::WithModel(const std::function<void(MeterModel&)>& f) {
    std::lock_guard lock(m_mutex);
    f(*m_model);
}

void SimMeter::SetRequestObserver(std::function<void(const Request&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

double SimMeter::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_startTime).count();
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
                OnBytes(buffer, static_cast<std::size_t>(n));
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
    m_running = false;
}

void SimMeter::OnBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<Exchange> exchanges;
    ReplyOverride hook;
    std::function<void(const Request&)> observer;
    {
        std::lock_guard lock(m_mutex);
        exchanges = m_model->Feed(data, size, Now());
        // Every meter on the line hears every frame and only the addressed one answers; the
        // frames are the same for all, so their exchanges line up one for one.
        for (const auto& other : m_others) {
            const std::vector<Exchange> heard = other->Feed(data, size, Now());
            for (std::size_t i = 0; i < heard.size() && i < exchanges.size(); ++i) {
                if (exchanges[i].reply.empty()) exchanges[i].reply = heard[i].reply;
            }
        }
        for (const Exchange& e : exchanges) {
            m_log.push_back(e.request);
            if (m_log.size() > m_logLimit) m_log.pop_front();
        }
        hook = m_override;
        observer = m_observer;
    }
    // The hooks run without the lock, so they may call back into the simulator.
    bool hangUp = false;
    for (Exchange& e : exchanges) {
        if (e.hangUp) {
            hangUp = true;
            break;
        }
        if (hook) {
            if (auto replaced = hook(e.request.bytes)) e.reply = std::move(*replaced);
        }
        m_output.insert(m_output.end(), e.reply.begin(), e.reply.end());
    }
    if (hangUp) {
        CloseLine();
    } else {
        FlushOutput();
    }
    if (observer) {
        for (const Exchange& e : exchanges)
            observer(e.request);
    }
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
    // Clear the flag first: whoever sees the hang-up must also see it.
    m_running = false;
    std::lock_guard lock(m_mutex);
    m_output.clear();
    CloseFd(m_masterFd);
    CloseFd(m_slaveFd);
}

}  // namespace qtmsim
