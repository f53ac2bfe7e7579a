#include "device/platform/WinPort.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "device/platform/PortHold.h"
#include "device/platform/SystemPorts.h"
#include "device/platform/WinWideText.h"

namespace qtm {

namespace {

HANDLE H(void* handle) {
    return static_cast<HANDLE>(handle);
}

void CloseIfOpen(void*& handle) {
    if (handle != nullptr) ::CloseHandle(H(handle));
    handle = nullptr;
}

DWORD WaitMs(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

// Ends an overlapped operation that is still pending and waits for the driver to let go
// of its buffer, which must outlive the operation.
DWORD FinishPending(HANDLE port, OVERLAPPED& ov) {
    ::CancelIoEx(port, &ov);
    DWORD count = 0;
    ::GetOverlappedResult(port, &ov, &count, TRUE);
    return count;
}

// Time-outs that make a read return at once with whatever has arrived.
bool ReturnsAtOnce(const ReadTimeouts& timeouts) {
    return timeouts.intervalMs == ReadTimeouts::kReturnAtOnce && timeouts.totalMultiplierMs == 0 &&
           timeouts.totalConstantMs == 0;
}

// Bytes in the port's input queue, or -1 when the port failed.
long QueuedBytes(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port, &errors, &status)) return -1;
    return static_cast<long>(status.cbInQue);
}

WaitOutcome WaitForWake(HANDLE wake, DWORD ms) {
    switch (::WaitForSingleObject(wake, ms)) {
        case WAIT_OBJECT_0:
            return WaitOutcome::Woken;
        case WAIT_TIMEOUT:
            return WaitOutcome::Timeout;
        default:
            return WaitOutcome::Failed;
    }
}

// How often the queue is looked at where the driver cannot wait for received characters.
constexpr DWORD kInputPollMs = 20;

// Waits for input by looking at the queue, for the rest of timeoutMs from start (negative:
// no limit), ended early by the wake event, as the driver's own wait would be.
WaitOutcome PollForInput(HANDLE port, HANDLE wake, int timeoutMs, ULONGLONG start) {
    for (;;) {
        const long queued = QueuedBytes(port);
        if (queued < 0) return WaitOutcome::Failed;
        if (queued > 0) return WaitOutcome::Input;
        DWORD step = kInputPollMs;
        if (timeoutMs >= 0) {
            const ULONGLONG passed = ::GetTickCount64() - start;
            if (passed >= static_cast<ULONGLONG>(timeoutMs)) return WaitOutcome::Timeout;
            step = static_cast<DWORD>(std::min<ULONGLONG>(step, timeoutMs - passed));
        }
        if (const WaitOutcome woken = WaitForWake(wake, step); woken != WaitOutcome::Timeout)
            return woken;
    }
}

}  // namespace

int PortErrnoOf(unsigned long win32Error) {
    switch (win32Error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_DEVICE_NOT_CONNECTED:
            return ENODEV;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return EBUSY;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_HANDLE:
            return ENOTTY;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:
            return EIO;
    }
}

void* ClaimPortName(const std::string& deviceName) {
    std::string name = deviceName.substr(deviceName.find_last_of('\\') + 1);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const HANDLE claim =
        ::CreateMutexW(nullptr, FALSE, WideFromUtf8("Global\\QTM200Debug-port-" + name).c_str());
    if (claim != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(claim);
        return nullptr;
    }
    return claim;
}

WinPort::~WinPort() {
    Close();
}

bool WinPort::Open(const std::string& path, int baudRate, PortError* error) {
    Close();
    const std::string device = WindowsDeviceName(path);
    // A port this process holds for a run has its only handle in the hold: a new open would
    // be refused by it, so the exchanges work on copies of that handle.
    HANDLE port = H(DuplicateHeldPort(device));
    if (port == nullptr) {
        m_claim = ClaimPortName(device);
        if (m_claim == nullptr) {
            if (error) *error = MakePortError(path, EBUSY);
            return false;
        }
        // No sharing: no other program may use the port while it is ours.
        port = ::CreateFileW(WideFromUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (port == INVALID_HANDLE_VALUE) {
            const int err = PortErrnoOf(::GetLastError());
            CloseIfOpen(m_claim);
            if (error) *error = MakePortError(path, err);
            return false;
        }
    }
    auto giveUp = [&](int err) {
        ::CloseHandle(port);
        CloseIfOpen(m_claim);
        if (error) *error = MakePortError(path, err);
        return false;
    };
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // A file or another device opens too, but has no line settings.
    if (!::GetCommState(port, &dcb)) return giveUp(ENOTTY);
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (baudRate <= 0 || !::SetCommState(port, &dcb)) return giveUp(EINVAL);
    const DWORD queue = static_cast<DWORD>(std::min<std::size_t>(m_queueBytes, MAXDWORD));
    if (!::SetupComm(port, queue, queue)) return giveUp(PortErrnoOf(::GetLastError()));
    m_handle = port;
    if (!ApplyTimeouts()) {
        m_handle = nullptr;
        return giveUp(PortErrnoOf(::GetLastError()));
    }
    // A late reply to an earlier command may still sit in the line's queue; it must not be
    // taken for the reply to the next request.
    ::PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR);
    m_readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_writeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_readEvent == nullptr || m_writeEvent == nullptr) {
        const int err = PortErrnoOf(::GetLastError());
        Close();
        if (error) *error = MakePortError(path, err);
        return false;
    }
    // Without the wake event only the watch thread's waits are lost; the port still works.
    m_wakeEvent.store(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (error) *error = PortError{};
    return true;
}

void WinPort::Close() {
    CloseIfOpen(m_handle);
    CloseIfOpen(m_claim);
    CloseIfOpen(m_readEvent);
    CloseIfOpen(m_writeEvent);
    void* wake = m_wakeEvent.exchange(nullptr);
    CloseIfOpen(wake);
}

void WinPort::SetReadTimeouts(const ReadTimeouts& timeouts) {
    m_timeouts = timeouts;
    if (m_handle != nullptr) ApplyTimeouts();
}

bool WinPort::ApplyTimeouts() {
    // Only the read time-outs are ours: the driver's write time-outs stay as they were, and
    // writes are bounded by Write's own wait, which can cancel them.
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(H(m_handle), &t)) return false;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    if (ReturnsAtOnce(m_timeouts)) {
        // The driver's own "return at once with what is there".
        t.ReadIntervalTimeout = MAXDWORD;
    } else {
        // 0 switches the driver's interval time-out off, so an interval of 0 ms waits 1.
        t.ReadIntervalTimeout =
            m_timeouts.intervalMs < 0 ? 0 : static_cast<DWORD>(std::max(m_timeouts.intervalMs, 1));
        t.ReadTotalTimeoutMultiplier =
            static_cast<DWORD>(std::max(m_timeouts.totalMultiplierMs, 0));
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(std::max(m_timeouts.totalConstantMs, 0));
    }
    return ::SetCommTimeouts(H(m_handle), &t) != 0;
}

long WinPort::Read(std::uint8_t* buffer, std::size_t length) {
    if (m_handle == nullptr) return -1;
    if (length == 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = H(m_readEvent);
    ::ResetEvent(ov.hEvent);
    std::size_t want = std::min<std::size_t>(length, MAXDWORD);
    if (ReturnsAtOnce(m_timeouts)) {
        // Only what is queued, so the read cannot wait whatever a driver makes of the
        // "return at once" time-outs: wine's leaves an overlapped read pending for good.
        const long queued = InputWaiting();
        if (queued <= 0) return queued;
        want = std::min(want, static_cast<std::size_t>(queued));
    }
    DWORD got = 0;
    if (!::ReadFile(H(m_handle), buffer, static_cast<DWORD>(want), nullptr, &ov) &&
        ::GetLastError() != ERROR_IO_PENDING)
        return -1;
    // The driver ends the read by the time-outs given; this only waits for that end.
    if (!::GetOverlappedResult(H(m_handle), &ov, &got, TRUE)) {
        // A read that reached its time-out is no failure of the port, though wine (and some
        // drivers) report it as one, with the bytes that did come in.
        const DWORD error = ::GetLastError();
        if (got > 0 || error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT)
            return static_cast<long>(got);
        return -1;
    }
    return static_cast<long>(got);
}

long WinPort::Write(const std::uint8_t* data, std::size_t length, int timeoutMs) {
    if (m_handle == nullptr) return -1;
    if (length == 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = H(m_writeEvent);
    ::ResetEvent(ov.hEvent);
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(length, MAXDWORD));
    DWORD done = 0;
    if (!::WriteFile(H(m_handle), data, size, nullptr, &ov)) {
        if (::GetLastError() != ERROR_IO_PENDING) return -1;
        if (::WaitForSingleObject(ov.hEvent, WaitMs(timeoutMs)) != WAIT_OBJECT_0) {
            done = FinishPending(H(m_handle), ov);
            return done > 0 ? static_cast<long>(done) : -1;
        }
    }
    if (!::GetOverlappedResult(H(m_handle), &ov, &done, TRUE) && done == 0) return -1;
    return static_cast<long>(done);
}

void WinPort::PurgeInput() {
    if (m_handle != nullptr) ::PurgeComm(H(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
}

long WinPort::InputWaiting() {
    return m_handle == nullptr ? -1 : QueuedBytes(H(m_handle));
}

WaitOutcome WinPort::WaitEvent(bool watchInput, int timeoutMs) {
    const HANDLE wake = H(m_wakeEvent.load());
    if (m_handle == nullptr || wake == nullptr) return WaitOutcome::Failed;
    if (!watchInput) return WaitForWake(wake, WaitMs(timeoutMs));
    const HANDLE port = H(m_handle);
    const ULONGLONG start = ::GetTickCount64();
    // A received-character event comes only for characters that arrive after the wait
    // starts: what is already queued is told at once.
    const long queued = QueuedBytes(port);
    if (queued < 0) return WaitOutcome::Failed;
    if (queued > 0) return WaitOutcome::Input;
    if (!::SetCommMask(port, EV_RXCHAR)) return WaitOutcome::Failed;
    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr) return WaitOutcome::Failed;
    struct EventCloser {
        HANDLE event;
        ~EventCloser() { ::CloseHandle(event); }
    } closer{ov.hEvent};
    DWORD mask = 0;
    if (::WaitCommEvent(port, &mask, &ov)) return WaitOutcome::Input;
    if (::GetLastError() != ERROR_IO_PENDING) return WaitOutcome::Failed;
    const HANDLE both[2] = {wake, ov.hEvent};
    const DWORD which = ::WaitForMultipleObjects(2, both, FALSE, WaitMs(timeoutMs));
    if (which != WAIT_OBJECT_0 + 1) {
        // A new event mask completes the pending wait, which must end before its record
        // and mask go out of scope.
        ::SetCommMask(port, EV_RXCHAR);
        DWORD unused = 0;
        ::GetOverlappedResult(port, &ov, &unused, TRUE);
        if (which == WAIT_OBJECT_0) return WaitOutcome::Woken;
        return which == WAIT_TIMEOUT ? WaitOutcome::Timeout : WaitOutcome::Failed;
    }
    DWORD unused = 0;
    // Some drivers end the wait at once as cancelled, with no event (wine's on a
    // pseudo-terminal does): the queue is then watched by looking at it.
    if (!::GetOverlappedResult(port, &ov, &unused, FALSE))
        return PollForInput(port, wake, timeoutMs, start);
    return (mask & EV_RXCHAR) != 0 ? WaitOutcome::Input : WaitOutcome::Timeout;
}

void WinPort::WakeWaiter() {
    const HANDLE wake = H(m_wakeEvent.load());
    if (wake != nullptr) ::SetEvent(wake);
}

TransportFactory SystemTransportFactory() {
    return [] { return std::make_unique<WinPort>(); };
}

}  // namespace qtm
