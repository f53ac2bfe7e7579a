// A serial line on POSIX: termios raw 8N1, exclusive use, read time-outs emulated
// with poll(), and an eventfd that lets another thread end a wait for input.
#pragma once

#include <atomic>

#include "device/PortTransport.h"

namespace qtm {

class PosixPort : public PortTransport {
public:
    PosixPort() = default;
    ~PosixPort() override;
    PosixPort(const PosixPort&) = delete;
    PosixPort& operator=(const PosixPort&) = delete;

    bool Open(const std::string& path, int baudRate, PortError* error) override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }

    void SetReadTimeouts(const ReadTimeouts& timeouts) override { m_timeouts = timeouts; }
    long Read(std::uint8_t* buffer, std::size_t length) override;
    long Write(const std::uint8_t* data, std::size_t length, int timeoutMs) override;

    void PurgeInput() override;
    long InputWaiting() override;

    WaitOutcome WaitEvent(bool watchInput, int timeoutMs) override;
    void WakeWaiter() override;

private:
    int m_fd = -1;
    std::atomic<int> m_wakeFd{-1};
    ReadTimeouts m_timeouts;
};

// The termios speed constant for a baud rate, or 0 when the rate is not supported.
unsigned BaudToSpeed(int baudRate);

}  // namespace qtm
