// The byte pipe under the link: open, close, write, read with time-outs, purge and
// wait for input. The command logic only sees this interface, so a real port, a
// pseudo-terminal or a test double can stand behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/PortError.h"

namespace qtm {

// Read time-outs in the manner of serial drivers: a read of n bytes ends when n bytes
// are in, when intervalMs passes after the last byte, or when
// totalMultiplierMs * n + totalConstantMs passes in all. An interval of kReturnAtOnce
// with both totals 0 makes a read return at once with whatever has arrived.
struct ReadTimeouts {
    static constexpr int kReturnAtOnce = -1;
    int intervalMs = kReturnAtOnce;
    int totalMultiplierMs = 0;
    int totalConstantMs = 0;
};

enum class WaitOutcome {
    Input,    // bytes are waiting to be read
    Woken,    // WakeWaiter() was called
    Timeout,  // the given time passed
    Failed,   // the port cannot be waited on (closed, hung up, no wake facility)
};

class PortTransport {
public:
    virtual ~PortTransport() = default;

    // Opens the port exclusively, raw 8N1 at the baud rate, no flow control.
    // On failure returns false and fills *error (when given).
    virtual bool Open(const std::string& path, int baudRate, PortError* error) = 0;
    // Closes the port; closing a closed port does nothing.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The size of the driver's receive and send queues for the next Open (Windows sets them
    // with SetupComm); a system whose driver sizes its own queues ignores it.
    virtual void SetDriverQueues(std::size_t bytes) { static_cast<void>(bytes); }

    virtual void SetReadTimeouts(const ReadTimeouts& timeouts) = 0;
    // Reads up to length bytes as the read time-outs allow. Returns the count read
    // (0 when nothing came in time) or -1 when the port failed (closed, hung up).
    virtual long Read(std::uint8_t* buffer, std::size_t length) = 0;
    // Writes all bytes unless timeoutMs passes first. Returns the count written or -1.
    virtual long Write(const std::uint8_t* data, std::size_t length, int timeoutMs) = 0;

    // Drops whatever has been received and not yet read.
    virtual void PurgeInput() = 0;
    // Bytes in the input queue, or -1 on failure.
    virtual long InputWaiting() = 0;

    // Waits until input is waiting (when watchInput) or WakeWaiter() is called, or
    // timeoutMs passes (negative: no limit). Safe to call from another thread than the
    // one that reads; WakeWaiter() may be called from any thread.
    virtual WaitOutcome WaitEvent(bool watchInput, int timeoutMs) = 0;
    virtual void WakeWaiter() = 0;
};

using TransportFactory = std::function<std::unique_ptr<PortTransport>()>;

// The factory for the system's real ports (platform/PosixPort, platform/WinPort).
TransportFactory SystemTransportFactory();

}  // namespace qtm
