// The synchronous port of the USB link, opened and closed around every meter command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device/PortError.h"
#include "device/PortTransport.h"

namespace qtm {

class Serial {
public:
    explicit Serial(TransportFactory factory = SystemTransportFactory());
    virtual ~Serial();
    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    // Opens the port at the baud rate, 8N1, with the link's read time-outs (a read of n
    // bytes ends 100 ms after the last byte or after 2 n + 100 ms). 1 on success, 0 on
    // failure (see LastOpenError()).
    int OpenPort(const std::string& portName, int baudRate);
    // Closes the port; a port that is not open is left alone. Always 1.
    int ClosePort();
    // 1 only when all length bytes went out.
    int WriteBytes(const std::uint8_t* buffer, std::size_t length);
    // One read with the time-outs above: the count read, 0 when nothing came, -1 on failure.
    long ReadBytes(std::uint8_t* buffer, std::size_t length);

    bool IsOpen() const { return m_port->IsOpen(); }
    const PortError& LastOpenError() const { return m_lastOpenError; }

    static constexpr int kReadIntervalMs = 100;
    static constexpr int kReadMultiplierMs = 2;
    static constexpr int kReadConstantMs = 100;
    static constexpr std::size_t kDriverQueueBytes = 8192;

private:
    std::unique_ptr<PortTransport> m_port;
    PortError m_lastOpenError;
};

}  // namespace qtm
