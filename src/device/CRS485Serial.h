// The RS-485 port: stays open between Modbus RTU register transactions, with a watch
// thread waiting for receive events while it is open.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "device/PortError.h"
#include "device/PortTransport.h"

namespace qtm {

class CRS485Serial {
public:
    using MessageSink = std::function<void(const std::string&)>;

    explicit CRS485Serial(TransportFactory factory = SystemTransportFactory());
    virtual ~CRS485Serial();
    CRS485Serial(const CRS485Serial&) = delete;
    CRS485Serial& operator=(const CRS485Serial&) = delete;

    // Closes an open port first, then opens portName and starts the watch thread.
    // False on failure (LastOpenError() says why); the port is then closed.
    bool Open(const std::string& portName, int baudRate);
    // Ends the watch thread, then closes the port. Nothing happens when it is not open.
    void Close();
    bool IsOpen() const { return m_bOpen.load() != 0; }

    // Reads exactly n bytes, polling every 10 ms, at most 100 + n polls. Returns n, or 0
    // when n is 0 or above 5120, the port is closed or fails, or the bytes do not all
    // arrive.
    int ReadExact(std::uint8_t* buffer, std::size_t n);

    // Function 0x03. data must have room for 2 * count bytes. 1 on success (data filled),
    // 0 after three failed attempts or at once when count > 125 or the address is not one
    // meter's (1 to 247). *byteCount receives the
    // byte count of the last reply header read.
    int ReadHoldingRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                             std::span<std::uint8_t> data, int* byteCount = nullptr);
    // Function 0x10 with byteCount bytes of data (normally 2 * count). 1 on success, 0
    // after three failed attempts, or at once when count > 123, byteCount > 246, data
    // holds fewer than byteCount bytes or the address is not one meter's (1 to 247).
    int WriteMultipleRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                               std::uint8_t byteCount, std::span<const std::uint8_t> data);

    // Receives "Can't create event object!" from the watch thread (called on that thread).
    // Takes effect from the next Open().
    void SetMessageSink(MessageSink sink) { m_sink = std::move(sink); }

    const std::string& PortName() const { return m_strPort; }
    int BaudRate() const { return m_nBaudRate; }
    const PortError& LastOpenError() const { return m_lastOpenError; }
    // Polls made by the last ReadExact (for tests and diagnostics).
    int LastReadPolls() const { return m_nLastReadPolls.load(); }
    // True once a read or write since the last Open() found the port itself failing
    // (unplugged, hung up), as opposed to a meter that merely stays silent.
    bool PortFailed() const { return m_bPortFailed.load(); }
    bool WatchThreadRunning() const { return m_bWatchRunning.load(); }
    // 0 when the last watch thread ended normally, -1 when it gave up waiting.
    int WatchThreadResult() const { return m_nWatchResult.load(); }

    static constexpr std::size_t kMaxReadExact = 5120;
    static constexpr int kPollMs = 10;
    static constexpr std::size_t kDriverQueueBytes = 5120;

private:
    int CommWatchThread(const MessageSink& sink);

    std::thread m_hThread;
    std::atomic<int> m_bOpen{0};
    std::unique_ptr<PortTransport> m_port;
    int m_nBaudRate = 115200;
    std::string m_strPort;
    int m_nReadPollBase = 100;

    MessageSink m_sink;
    PortError m_lastOpenError;
    std::atomic<int> m_nLastReadPolls{0};
    std::atomic<bool> m_bWatchRunning{false};
    std::atomic<int> m_nWatchResult{0};
    std::atomic<bool> m_bPortFailed{false};
};

}  // namespace qtm
