#include "device/Serial.h"

namespace qtm {

namespace {

// Writes have no time-out of their own on the meter's line; this bound only keeps a
// wedged adapter from holding the link for ever.
int WriteTimeoutMs(std::size_t length) {
    return 2000 + 50 * static_cast<int>(length);
}

}  // namespace

Serial::Serial(TransportFactory factory) : m_port(factory()) {}

Serial::~Serial() {
    ClosePort();
}

int Serial::OpenPort(const std::string& portName, int baudRate) {
    m_port->SetDriverQueues(kDriverQueueBytes);
    if (!m_port->Open(portName, baudRate, &m_lastOpenError)) return 0;
    m_port->SetReadTimeouts(ReadTimeouts{kReadIntervalMs, kReadMultiplierMs, kReadConstantMs});
    return 1;
}

int Serial::ClosePort() {
    m_port->Close();
    return 1;
}

int Serial::WriteBytes(const std::uint8_t* buffer, std::size_t length) {
    if (!m_port->IsOpen()) return 0;
    const long written = m_port->Write(buffer, length, WriteTimeoutMs(length));
    return written == static_cast<long>(length) ? 1 : 0;
}

long Serial::ReadBytes(std::uint8_t* buffer, std::size_t length) {
    return m_port->Read(buffer, length);
}

}  // namespace qtm
