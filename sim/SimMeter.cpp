#include "sim/SimMeter.h"

#include <cstdlib>

#include "sim/SimLine.h"

namespace qtmsim {

namespace {

// Line names count up over the process, so a name once hung up never comes back.
std::string NextLineName() {
    static std::atomic<int> count{0};
    return "SIM" + std::to_string(++count);
}

}  // namespace

SimMeter::SimMeter(MeterConfig config)
    : m_config(std::move(config)), m_model(std::make_unique<MeterModel>(m_config)) {
    if (!m_config.rs485) return;
    const unsigned long long serial = std::strtoull(m_config.serial.c_str(), nullptr, 10);
    for (const std::uint8_t address : m_config.moreAddresses) {
        if (address == m_config.address) continue;
        MeterConfig other = m_config;
        other.address = address;
        other.moreAddresses.clear();
        other.serial = std::to_string(serial + address - m_config.address);
        m_others.push_back(std::make_unique<MeterModel>(other));
        m_otherAddresses.push_back(address);
    }
}

SimMeter::~SimMeter() {
    Stop();
}

bool SimMeter::Start(std::string* error) {
    if (m_line) {
        if (error) *error = "simulator already started";
        return false;
    }
    m_startTime = std::chrono::steady_clock::now();
    // Set before the pseudo-terminal's thread starts, which serves only while it is set.
    m_running = true;
#ifndef _WIN32
    if (!StartPty(error)) {
        m_running = false;
        return false;
    }
#endif
    m_linePath = NextLineName();
#ifdef _WIN32
    m_portPath = m_linePath;
#endif
    m_line = std::make_shared<SimLine>(m_linePath);
    SimLine::Register(m_line);
    m_lineThread = std::thread([this] { ServeLine(); });
    return true;
}

void SimMeter::Stop() {
    m_running = false;
    // The line's thread first: a hang-up it serves wakes the pseudo-terminal's thread
    // through a descriptor that StopPty closes.
    if (m_line) m_line->HangUp();
    if (m_lineThread.joinable()) m_lineThread.join();
#ifndef _WIN32
    StopPty();
#endif
}

qtm::TransportFactory SimMeter::TransportFactory(qtm::TransportFactory fallback) {
    return SimTransportFactory(std::move(fallback));
}

void SimMeter::ServeLine() {
    std::vector<std::uint8_t> bytes;
    while (m_line->NextRequest(&bytes))
        OnBytes(bytes.data(), bytes.size(), [this](const auto& reply) { m_line->Reply(reply); });
}

void SimMeter::HangUp() {
    // Clear the flag first: whoever sees the hang-up must also see it.
    m_running = false;
    m_hungUp = true;
    m_line->HangUp();
#ifndef _WIN32
    WakePty();
#endif
}

std::vector<Request> SimMeter::RequestLog() const {
    std::lock_guard lock(m_mutex);
    return std::vector<Request>(m_log.begin(), m_log.end());
}

void SimMeter::SetLogLimit(std::size_t limit) {
    std::lock_guard lock(m_mutex);
    m_logLimit = limit;
    while (m_log.size() > m_logLimit)
        m_log.pop_front();
}

void SimMeter::ClearLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

void SimMeter::SetFault(Fault fault) {
    std::lock_guard lock(m_mutex);
    m_model->SetFault(fault);
}

void SimMeter::SetFaultAt(std::uint8_t address, Fault fault) {
    std::lock_guard lock(m_mutex);
    if (address == m_config.address) m_model->SetFault(fault);
    for (std::size_t i = 0; i < m_others.size(); ++i) {
        if (m_otherAddresses[i] == address) m_others[i]->SetFault(fault);
    }
}

void SimMeter::SetReplyOverride(ReplyOverride hook) {
    std::lock_guard lock(m_mutex);
    m_override = std::move(hook);
}

void SimMeter::WithModel(const std::function<void(MeterModel&)>& f) {
    std::lock_guard lock(m_mutex);
    f(*m_model);
}

void SimMeter::SetRequestObserver(std::function<void(const Request&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

double SimMeter::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_startTime).count();
}

void SimMeter::OnBytes(const std::uint8_t* data, std::size_t size, const Deliver& deliver) {
    std::vector<Exchange> exchanges;
    ReplyOverride hook;
    std::function<void(const Request&)> observer;
    {
        std::lock_guard lock(m_mutex);
        exchanges = m_model->Feed(data, size, Now());
        // Every meter on the line hears every frame and only the addressed one answers; the
        // frames are the same for all, so their exchanges line up one for one.
        for (const auto& other : m_others) {
            const std::vector<Exchange> heard = other->Feed(data, size, Now());
            for (std::size_t i = 0; i < heard.size() && i < exchanges.size(); ++i) {
                if (exchanges[i].reply.empty()) exchanges[i].reply = heard[i].reply;
            }
        }
        for (const Exchange& e : exchanges) {
            m_log.push_back(e.request);
            if (m_log.size() > m_logLimit) m_log.pop_front();
        }
        hook = m_override;
        observer = m_observer;
    }
    // The hooks run without the lock, so they may call back into the simulator.
    bool hangUp = false;
    std::vector<std::uint8_t> output;
    for (Exchange& e : exchanges) {
        if (e.hangUp) {
            hangUp = true;
            break;
        }
        if (hook) {
            if (auto replaced = hook(e.request.bytes)) e.reply = std::move(*replaced);
        }
        output.insert(output.end(), e.reply.begin(), e.reply.end());
    }
    if (hangUp) {
        HangUp();
    } else if (!output.empty()) {
        deliver(output);
    }
    if (observer) {
        for (const Exchange& e : exchanges)
            observer(e.request);
    }
}

}  // namespace qtmsim
