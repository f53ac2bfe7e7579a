// The in-process line between a SimMeter and the program's transports: two byte queues
// under one lock, for systems (Windows) that have no pseudo-terminals, and for tests.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/PortTransport.h"

namespace qtmsim {

class SimLine {
public:
    explicit SimLine(std::string name) : m_name(std::move(name)) {}

    const std::string& Name() const { return m_name; }

    // The meter's side. NextRequest blocks until the program wrote something or the line
    // closed; false when it closed.
    bool NextRequest(std::vector<std::uint8_t>* bytes);
    void Reply(const std::vector<std::uint8_t>& bytes);
    // For good: every open transport fails from now on and the name is gone.
    void HangUp();
    bool IsUp() const;

    // Makes the line reachable by name for SimTransportFactory's transports, or no more.
    static void Register(const std::shared_ptr<SimLine>& line);
    static void Unregister(const std::string& name);
    static std::shared_ptr<SimLine> Find(const std::string& name);

private:
    friend class SimLineTransport;

    const std::string m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::uint8_t> m_toMeter;
    std::deque<std::uint8_t> m_toProgram;
    bool m_hungUp = false;
    bool m_inUse = false;  // one open at a time, as on an exclusive serial port
};

// Transports that open simulator lines by their name; a name that is no line goes to the
// fallback's transport (when given) so real ports still work beside the simulator.
qtm::TransportFactory SimTransportFactory(qtm::TransportFactory fallback = {});

}  // namespace qtmsim
