// The fake QTX meter behind a pseudo-terminal (Linux) and an in-process line (every
// system): the program, the CLI and the tests talk to it as to a meter on a serial port.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/PortTransport.h"
#include "sim/MeterModel.h"

namespace qtmsim {

class SimLine;

// Runs a MeterModel on the master side of a pseudo-terminal. The slave side stays
// open inside the simulator so that the program's close and reopen of the port does
// not hang the line up. The same meter also answers on an in-process line, which
// TransportFactory's transports open by LinePath(); Windows has that line only.
class SimMeter {
public:
    explicit SimMeter(MeterConfig config);
    ~SimMeter();
    SimMeter(const SimMeter&) = delete;
    SimMeter& operator=(const SimMeter&) = delete;

    // Creates the pseudo-terminal (not on Windows) and the in-process line and starts
    // serving. False (with a reason) on failure.
    bool Start(std::string* error = nullptr);
    // Stops serving and closes the pseudo-terminal and the line. Safe to call twice.
    void Stop();

    // The slave path, such as "/dev/pts/7"; on Windows the in-process line's name, such as
    // "SIM1". Empty before Start.
    const std::string& PortPath() const { return m_portPath; }
    // The in-process line's name, such as "SIM1"; empty before Start.
    const std::string& LinePath() const { return m_linePath; }
    // Transports that open in-process lines by name (any meter's of this process); other
    // names go to the fallback's transports when one is given.
    static qtm::TransportFactory TransportFactory(qtm::TransportFactory fallback = {});

    // The request frames received, in order, as they came off the line: every one of
    // them, up to the log's limit, beyond which the oldest are dropped (a simulator
    // serving a live window for days must not grow without end).
    std::vector<Request> RequestLog() const;
    void ClearLog();
    void SetLogLimit(std::size_t limit);
    static constexpr std::size_t kDefaultLogLimit = 100000;

    // Faults and parameters may change while serving. HangUp is for good: at the
    // next request the line drops and the port path disappears.
    void SetFault(Fault fault);
    // The same for the meter at a bus address of the line (moreAddresses included).
    void SetFaultAt(std::uint8_t address, Fault fault);
    // A test hook: when it returns a value, those bytes are sent instead of the
    // model's own reply (an empty vector sends nothing). It runs on the serving
    // thread, outside the simulator's lock.
    void SetReplyOverride(ReplyOverride hook);
    // Runs f on the model under the simulator's lock (to read or change its state).
    void WithModel(const std::function<void(MeterModel&)>& f);
    // Called on the serving thread after each request has been answered (for the
    // executable's request log), outside the simulator's lock.
    void SetRequestObserver(std::function<void(const Request&)> observer);

    // True while the simulator serves; false after Stop or a hang-up.
    bool IsServing() const { return m_running; }

private:
    using Deliver = std::function<void(const std::vector<std::uint8_t>&)>;

    bool StartPty(std::string* error);
    void StopPty();
    void WakePty();
    void Serve();
    void ServeLine();
    // The exchange itself, the same on either line: the requests go to the meters and
    // the replies to deliver, unless a hang-up fault drops both lines.
    void OnBytes(const std::uint8_t* data, std::size_t size, const Deliver& deliver);
    void HangUp();
    void FlushOutput();
    void CloseLine();
    double Now() const;

    MeterConfig m_config;
    std::string m_portPath;
    std::string m_linePath;
    std::shared_ptr<SimLine> m_line;
    std::thread m_lineThread;
    std::atomic<bool> m_hungUp{false};
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    std::unique_ptr<MeterModel> m_model;
    std::vector<std::unique_ptr<MeterModel>> m_others;  // the line's other meters
    std::vector<std::uint8_t> m_otherAddresses;
    ReplyOverride m_override;
    std::deque<Request> m_log;
    std::size_t m_logLimit = kDefaultLogLimit;
    std::function<void(const Request&)> m_observer;
    std::vector<std::uint8_t>
        m_output;  // reply bytes the line has not taken yet (serving thread only)
    std::chrono::steady_clock::time_point m_startTime;
};

}  // namespace qtmsim
