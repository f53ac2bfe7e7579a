#include "device/CRS485Serial.h"
#include "device/Pause.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

#include "device/ModbusFrame.h"

namespace qtm {

namespace {

int WriteTimeoutMs(std::size_t length) {
    return 2000 + 50 * static_cast<int>(length);
}

constexpr int kReadRequestPauseMs = 5;
constexpr int kWritePauseMs = 100;
constexpr int kAttempts = 3;
// While bytes sit unread in the input queue the watch thread rests this long between
// looks instead of spinning: the wait for new input would return at once.
constexpr int kQueuedInputRestMs = 10;

}  // namespace

CRS485Serial::CRS485Serial(TransportFactory factory) : m_port(factory()) {}

CRS485Serial::~CRS485Serial() {
    Close();
}

bool CRS485Serial::Open(const std::string& portName, int baudRate) {
    if (IsOpen() || m_hThread.joinable()) Close();
    m_nBaudRate = baudRate;
    m_strPort = portName;
    m_port->SetDriverQueues(kDriverQueueBytes);
    if (!m_port->Open(portName, baudRate, &m_lastOpenError)) return false;
    // Reads return at once with what has arrived; ReadExact does the waiting.
    m_port->SetReadTimeouts(ReadTimeouts{});
    m_bPortFailed.store(false);
    m_bOpen.store(1);
    try {
        m_bWatchRunning.store(true);
        // The thread keeps its own copy of the sink, so SetMessageSink never races with it.
        m_hThread =
            std::thread([this, sink = m_sink] { m_nWatchResult.store(CommWatchThread(sink)); });
    } catch (const std::system_error& e) {
        m_bWatchRunning.store(false);
        m_bOpen.store(0);
        m_port->Close();
        m_lastOpenError = MakePortError(portName, e.code().value());
        return false;
    }
    return true;
}

void CRS485Serial::Close() {
    m_bOpen.store(0);
    m_port->WakeWaiter();
    if (m_hThread.joinable()) m_hThread.join();
    m_port->Close();
}

int CRS485Serial::CommWatchThread(const MessageSink& sink) {
    struct RunningFlag {
        std::atomic<bool>& flag;
        ~RunningFlag() { flag.store(false); }
    } running{m_bWatchRunning};

    // The first wait tells whether the port can be waited on at all (it has its wake
    // event); without one the thread can neither wait nor be stopped, so it ends here.
    if (m_port->WaitEvent(false, 0) == WaitOutcome::Failed) {
        if (sink) sink("Can't create event object!");
        return -1;
    }
    while (m_bOpen.load() != 0) {
        const long waiting = m_port->InputWaiting();
        WaitOutcome outcome;
        if (waiting == 0)
            outcome = m_port->WaitEvent(true, -1);
        else
            outcome = m_port->WaitEvent(false, kQueuedInputRestMs);
        if (outcome == WaitOutcome::Failed) return -1;
    }
    return 0;
}

int CRS485Serial::ReadExact(std::uint8_t* buffer, std::size_t n) {
    m_nLastReadPolls.store(0);
    if (n == 0 || n > kMaxReadExact) return 0;
    if (!m_port->IsOpen()) return 0;
    const int limit = m_nReadPollBase + static_cast<int>(n);
    int polls = 0;
    std::size_t got = 0;
    while (got < n) {
        if (polls >= limit) break;
        SleepMs(kPollMs);
        const long r = m_port->Read(buffer + got, n - got);
        ++polls;
        if (r < 0) {
            // A port that hung up brings nothing more however long we poll.
            m_bPortFailed.store(true);
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    m_nLastReadPolls.store(polls);
    // Bytes complete on the last allowed poll still count: they did arrive in time.
    return got == n ? static_cast<int>(n) : 0;
}

int CRS485Serial::ReadHoldingRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                                       std::span<std::uint8_t> data, int* byteCount) {
    if (count > kMaxReadRegisters || !IsBusAddress(address)) return 0;
    const std::size_t expected = 2u * count;
    if (data.size() < expected) return 0;
    const std::vector<std::uint8_t> request = BuildReadRegistersRequest(address, reg, count);
    // Room for the largest reply a one-byte count can announce, whatever was asked for.
    std::array<std::uint8_t, 3 + 255 + 2> reply{};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_port->PurgeInput();
        const long written =
            m_port->Write(request.data(), request.size(), WriteTimeoutMs(request.size()));
        if (written < 0) m_bPortFailed.store(true);
        if (written <= 0) continue;
        SleepMs(kReadRequestPauseMs);
        if (ReadExact(reply.data(), 3) != 3) continue;
        const std::size_t b = reply[2];
        if (byteCount) *byteCount = static_cast<int>(b);
        if (ReadExact(reply.data() + 3, b + 2) != static_cast<int>(b + 2)) continue;
        if (!ModbusCrcMatches(std::span<const std::uint8_t>(reply.data(), b + 5))) continue;
        // A reply whose byte count differs from what was asked for does not answer this
        // request (and would not fit the caller's buffer): it counts as a failed attempt,
        // the same as a bad CRC, rather than being cut to size.
        if (b != expected) continue;
        std::copy_n(reply.begin() + 3, b, data.begin());
        return 1;
    }
    return 0;
}

int CRS485Serial::WriteMultipleRegisters(std::uint8_t address, std::uint16_t reg,
                                         std::uint16_t count, std::uint8_t byteCount,
                                         std::span<const std::uint8_t> data) {
    if (count > kMaxWriteRegisters || byteCount > kMaxWriteBytes || !IsBusAddress(address))
        return 0;
    if (data.size() < byteCount) return 0;
    const std::vector<std::uint8_t> request =
        BuildWriteRegistersRequest(address, reg, count, byteCount, data);
    std::array<std::uint8_t, 8> reply{};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_port->PurgeInput();
        const long written =
            m_port->Write(request.data(), request.size(), WriteTimeoutMs(request.size()));
        if (written < 0) m_bPortFailed.store(true);
        if (written > 0) {
            SleepMs(kWritePauseMs);
            if (ReadExact(reply.data(), reply.size()) == static_cast<int>(reply.size()) &&
                ModbusCrcMatches(reply))
                return 1;
        }
        SleepMs(kWritePauseMs);
    }
    return 0;
}

}  // namespace qtm
