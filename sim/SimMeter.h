// The fake QTX meter behind a pseudo-terminal: the program, the CLI and the tests
// talk to it exactly as they talk to a meter on a serial port.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/MeterModel.h"

namespace qtmsim {

// Runs a MeterModel on the master side of a pseudo-terminal. The slave side stays
// open inside the simulator so that the program's close and reopen of the port does
// not hang the line up.
class SimMeter {
public:
    explicit SimMeter(MeterConfig config);
    ~SimMeter();
    SimMeter(const SimMeter&) = delete;
    SimMeter& operator=(const SimMeter&) = delete;

    // Creates the pseudo-terminal and starts serving. False (with a reason) on failure.
    bool Start(std::string* error = nullptr);
    // Stops serving and closes the pseudo-terminal. Safe to call twice.
    void Stop();

    // The slave path, such as "/dev/pts/7"; empty before Start.
    const std::string& PortPath() const { return m_portPath; }

    // Every request frame received, in order, as it came off the line.
    std::vector<Request> RequestLog() const;
    void ClearLog();

    // Faults and parameters may change while serving.
    void SetFault(Fault fault);
    // A test hook: when it returns a value, those bytes are sent instead of the
    // model's own reply (an empty vector sends nothing).
    void SetReplyOverride(ReplyOverride hook);
    // Runs f on the model under the simulator's lock (to read or change its state).
    void WithModel(const std::function<void(MeterModel&)>& f);

private:
    void Serve();

    MeterConfig m_config;
    std::string m_portPath;
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    std::unique_ptr<MeterModel> m_model;
    ReplyOverride m_override;
};

}  // namespace qtmsim
