#include "device/MeterLink.h"
#include "device/Pause.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/ModbusFrame.h"
#include "device/platform/SystemPorts.h"

namespace qtm {

namespace {

constexpr int kFindRounds = 10;
constexpr int kFindRoundPauseMs = 100;
constexpr std::size_t kIdentityReplyBytes = 16;

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

MeterLink::MeterLink() : MeterLink(SystemTransportFactory()) {}

MeterLink::MeterLink(TransportFactory factory)
    : m_serial(factory), m_rs485(factory), m_sysfsRoot(kDefaultSysfsTtyRoot) {}

MeterLink::~MeterLink() {
    std::lock_guard lock(m_mutex);
    m_rs485.Close();
    m_serial.ClosePort();
}

void MeterLink::SetMessageSink(MessageSink sink) {
    std::lock_guard lock(m_mutex);
    m_rs485.SetMessageSink(sink);
    std::lock_guard state(m_stateMutex);
    m_sink = std::move(sink);
}

std::string MeterLink::PortName() const {
    std::lock_guard state(m_stateMutex);
    return m_strPortName;
}

void MeterLink::SetPortName(const std::string& portName) {
    std::lock_guard state(m_stateMutex);
    m_strPortName = portName;
}

PortError MeterLink::LastOpenError() const {
    std::lock_guard state(m_stateMutex);
    return m_lastOpenError;
}

void MeterLink::RecordOpenError(const PortError& error) {
    std::lock_guard state(m_stateMutex);
    m_lastOpenError = error;
}

std::string MeterLink::SerialNumber() const {
    std::lock_guard state(m_stateMutex);
    return m_strSN;
}

std::string MeterLink::Band() const {
    std::lock_guard state(m_stateMutex);
    return m_strBand;
}

std::string MeterLink::Range() const {
    std::lock_guard state(m_stateMutex);
    return m_strRange;
}

// ---- USB exchange ----

void MeterLink::CloseUsbPort() {
    std::lock_guard lock(m_mutex);
    m_serial.ClosePort();
}

bool MeterLink::OpenAndWrite(const Bytes& request) {
    if (m_serial.IsOpen()) m_serial.ClosePort();
    const std::string port = PortName();
    const int opened = m_serial.OpenPort(port, kUsbBaudRate);
    RecordOpenError(m_serial.LastOpenError());
    if (!opened) return false;
    if (!m_serial.WriteBytes(request.data(), request.size())) {
        m_serial.ClosePort();
        return false;
    }
    return true;
}

bool MeterLink::AwaitReply(std::uint8_t* buffer, std::size_t length, int attempts, int pauseMs,
                           std::size_t* received) {
    if (received) *received = 0;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        SleepMs(pauseMs);
        std::size_t got = 0;
        while (got < length) {
            const long n = m_serial.ReadBytes(buffer + got, length - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (received && got > *received) *received = got;
        if (got == length) return true;
    }
    return false;
}

int MeterLink::ExchangeLocked(const Bytes& request, std::size_t replyLength, int attempts,
                              int pauseMs, Bytes& reply, int successCode, bool* complete) {
    reply.assign(replyLength, 0);
    if (complete) *complete = false;
    m_bLastReplyHeard = false;
    m_bLastReplyWhole = false;
    if (!OpenAndWrite(request)) return -1;
    std::size_t received = 0;
    const bool whole = AwaitReply(reply.data(), replyLength, attempts, pauseMs, &received);
    m_bLastReplyHeard = received > 0;
    m_bLastReplyWhole = whole && ReplyMatchesRequest(request, reply);
    if (complete) *complete = whole;
    m_serial.ClosePort();
    return successCode;
}

int MeterLink::ExchangeFrame(const Bytes& request, std::size_t replyLength, int attempts,
                             int pauseMs, Bytes& reply, int successCode, bool* complete) {
    std::lock_guard lock(m_mutex);
    return ExchangeLocked(request, replyLength, attempts, pauseMs, reply, successCode, complete);
}

int MeterLink::FindMeter(std::string& model) {
    std::lock_guard lock(m_mutex);
    m_serial.ClosePort();
    const bool qtm300 = GetDeviceType() == DeviceType::Qtm300;
    const Bytes request = qtm300 ? BuildQtm300Identify() : BuildVkIdentityRead(vk::kModel);
    const std::vector<std::string> ports = PortList();
    std::vector<std::string> named;
    {
        std::lock_guard state(m_stateMutex);
        named = m_extraPorts;
        named.push_back(m_simulatorPort);
    }
    auto isNamed = [&named](const std::string& port) {
        return std::find(named.begin(), named.end(), port) != named.end();
    };
    Bytes reply(kIdentityReplyBytes);
    // When nothing answers, the operator should hear about a port that was refused or
    // held by another program, even if a later port opened and merely stayed silent; and
    // about the port they named before any system port the list tried first.
    PortError telling;
    int tellingWeight = -1;
    for (int round = 0; round < kFindRounds; ++round) {
        SleepMs(kFindRoundPauseMs);
        for (const std::string& port : ports) {
            const int opened = m_serial.OpenPort(port, kUsbBaudRate);
            const PortError error = m_serial.LastOpenError();
            RecordOpenError(error);
            if (!opened) {
                if (const int weight = RefusalWeight(error, isNamed(port));
                    weight > tellingWeight) {
                    telling = error;
                    tellingWeight = weight;
                }
                continue;
            }
            // A port that takes only part of the request simply gives no answer.
            m_serial.WriteBytes(request.data(), request.size());
            std::fill(reply.begin(), reply.end(), 0);
            std::size_t got = 0;
            while (got < reply.size()) {
                const long n = m_serial.ReadBytes(reply.data() + got, reply.size() - got);
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            m_serial.ClosePort();
            // Half an identity is no answer: it would name the meter "QT".
            if (got == reply.size() && reply[0] == request[0] && reply[1] == request[1]) {
                SetPortName(port);
                model = qtm300 ? Qtm300IdentityModel(reply) : VkIdentityModel(reply);
                return 0;
            }
        }
    }
    if (telling.Failed()) RecordOpenError(telling);
    return -1;
}

// ---- RS-485 link ----

int MeterLink::OpenBusPort(const std::string& portName, int baudRate) {
    MessageSink sink;
    {
        std::lock_guard lock(m_mutex);
        const bool opened = m_rs485.Open(portName, baudRate);
        RecordOpenError(m_rs485.LastOpenError());
        if (opened) return 0;
        std::lock_guard state(m_stateMutex);
        sink = m_sink;
    }
    // Told outside the lock: a modal prompt must not hold up a waiting worker.
    if (sink) sink("Open the " + portName + " port failed!");
    return -1;
}

int MeterLink::ReopenBusPort() {
    std::lock_guard lock(m_mutex);
    const std::string port = m_rs485.PortName();
    if (port.empty()) return -1;
    const bool opened = m_rs485.Open(port, m_rs485.BaudRate());
    RecordOpenError(m_rs485.LastOpenError());
    return opened ? 0 : -1;
}

void MeterLink::CloseBusPort() {
    std::lock_guard lock(m_mutex);
    m_rs485.Close();
}

int MeterLink::ReadHoldingRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                                    std::span<std::uint8_t> data, int* byteCount) {
    std::lock_guard lock(m_mutex);
    return m_rs485.ReadHoldingRegisters(address, reg, count, data, byteCount);
}

int MeterLink::WriteMultipleRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                                      std::uint8_t byteCount, std::span<const std::uint8_t> data) {
    std::lock_guard lock(m_mutex);
    return m_rs485.WriteMultipleRegisters(address, reg, count, byteCount, data);
}

int MeterLink::ReadLiveBlock(std::array<std::uint8_t, 36>& block, std::uint8_t address) {
    std::lock_guard lock(m_mutex);
    std::array<std::uint8_t, kLiveBlockBytes> data{};
    if (m_rs485.ReadHoldingRegisters(address, kLiveBlockRegister, kLiveBlockRegisters, data) != 1)
        return -1;
    block = data;
    SleepMs(1);
    return 1;
}

// ---- Port list ----

void MeterLink::EnumeratePorts() {
    std::string root;
    bool system = false;
    {
        std::lock_guard state(m_stateMutex);
        root = m_sysfsRoot;
        system = m_bSystemPorts;
    }
    std::vector<std::string> list;
    if (system) list = ListSystemSerialPorts(root);
    std::lock_guard state(m_stateMutex);
    auto addOnce = [&list](const std::string& path) {
        if (!path.empty() && std::find(list.begin(), list.end(), path) == list.end())
            list.push_back(path);
    };
    for (const std::string& path : m_extraPorts)
        addOnce(path);
    addOnce(m_simulatorPort);
    for (const std::string& path : list) {
        if (const auto digit = TrailingSingleDigit(BaseName(path))) m_nLastPortDigit = *digit;
    }
    m_portList = std::move(list);
    m_nPortCount = static_cast<int>(m_portList.size());
}

void MeterLink::AddExtraPort(const std::string& path) {
    std::lock_guard state(m_stateMutex);
    m_extraPorts.push_back(path);
}

void MeterLink::ClearExtraPorts() {
    std::lock_guard state(m_stateMutex);
    m_extraPorts.clear();
}

void MeterLink::SetSimulatorPort(const std::string& path) {
    std::lock_guard state(m_stateMutex);
    m_simulatorPort = path;
}

std::string MeterLink::SimulatorPort() const {
    std::lock_guard state(m_stateMutex);
    return m_simulatorPort;
}

void MeterLink::SetSystemPortsEnabled(bool enabled) {
    std::lock_guard state(m_stateMutex);
    m_bSystemPorts = enabled;
}

void MeterLink::SetSysfsRoot(const std::string& ttyRoot) {
    std::lock_guard state(m_stateMutex);
    m_sysfsRoot = ttyRoot;
}

int MeterLink::PortCount() const {
    std::lock_guard state(m_stateMutex);
    return m_nPortCount;
}

int MeterLink::LastPortDigit() const {
    std::lock_guard state(m_stateMutex);
    return m_nLastPortDigit;
}

std::vector<std::string> MeterLink::PortList() const {
    std::lock_guard state(m_stateMutex);
    return m_portList;
}

}  // namespace qtm
