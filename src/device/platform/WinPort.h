// A serial line on Windows: a COM port opened without sharing and with overlapped I/O, 8N1
// through the DCB, the read time-outs handed to the driver as COMMTIMEOUTS, and the watch
// thread's waits as WaitCommEvent on received characters beside an event that ends them.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "device/PortTransport.h"

namespace qtm {

class WinPort : public PortTransport {
public:
    WinPort() = default;
    ~WinPort() override;
    WinPort(const WinPort&) = delete;
    WinPort& operator=(const WinPort&) = delete;

    bool Open(const std::string& path, int baudRate, PortError* error) override;
    void Close() override;
    bool IsOpen() const override { return m_handle != nullptr; }
    void SetDriverQueues(std::size_t bytes) override { m_queueBytes = bytes; }

    void SetReadTimeouts(const ReadTimeouts& timeouts) override;
    long Read(std::uint8_t* buffer, std::size_t length) override;
    long Write(const std::uint8_t* data, std::size_t length, int timeoutMs) override;

    void PurgeInput() override;
    long InputWaiting() override;

    WaitOutcome WaitEvent(bool watchInput, int timeoutMs) override;
    void WakeWaiter() override;

private:
    bool ApplyTimeouts();

    void* m_handle = nullptr;  // HANDLE, null while closed
    void* m_claim = nullptr;   // ClaimPortName's, when the port is not a hold's copy
    void* m_readEvent = nullptr;
    void* m_writeEvent = nullptr;
    std::atomic<void*> m_wakeEvent{nullptr};
    std::size_t m_queueBytes = 4096;
    ReadTimeouts m_timeouts;
};

// The errno value that tells the operator what a Win32 error of opening a port means: a
// port another program has open is refused as access denied or a sharing violation on
// Windows, and both are "busy" here.
int PortErrnoOf(unsigned long win32Error);

// A claim on a port by name among the programs of this machine, beside the port's own
// exclusive open: a named mutex that exists while one program has the port. Some serial
// drivers (and wine) let a second program open a port that is open already, and two
// programs talking to one meter at once could write a value neither meant. Null when
// another program has the claim; CloseHandle ends it.
void* ClaimPortName(const std::string& deviceName);

}  // namespace qtm
