// A pseudo-terminal made by the test itself: the port under test opens the slave path,
// the test plays the meter on the master side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace qtm::test {

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
        m_path = name;
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ~PtyPair() {
        CloseMaster();
        if (m_slave >= 0) ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    // Writes all bytes from the meter's side (blocking while the line is full).
    bool Send(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Reads what the program wrote, waiting up to timeoutMs for the first byte.
    std::vector<std::uint8_t> Receive(int timeoutMs) const;

private:
    int m_master = -1;
    int m_slave = -1;  // kept open like the simulator does, so closes do not hang up
    std::string m_path;
};

inline std::vector<std::uint8_t> PtyPair::Receive(int timeoutMs) const {
    std::vector<std::uint8_t> out;
    pollfd pfd{m_master, POLLIN, 0};
    while (::poll(&pfd, 1, out.empty() ? timeoutMs : 20) > 0) {
        std::uint8_t buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

}  // namespace qtm::test
