// MeasurementRun: the live measurement's worker thread. It reads the meter pass after pass
// and hands each pass's values to the window's thread as one value object; it never
// touches a widget and never waits for the window.
#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/MeterLink.h"
#include "device/platform/PortHold.h"
#include "service/LivePass.h"

// The values of one pass. A pass without a reading (ok false) carries no values the
// window may take.
struct PassResult {
    qtm::CommMode link = qtm::CommMode::Usb;
    std::uint64_t generation = 0;  // the Start that the pass belongs to
    bool ok = false;
    qtm::LiveValues usb;                        // USB pass
    std::optional<std::uint16_t> storagePages;  // USB pass, when the storage read succeeded
    qtm::BusLiveValues bus;                     // RS-485 pass
    int failuresInRow = 0;  // passes in a row without a reading, this one included
    std::string failure;    // what went wrong, for the operator, when ok is false
    // When the reading was taken (UTC): as the USB pass's power request went out, or as the
    // bus block arrived after its pause.
    std::chrono::system_clock::time_point taken;
    std::uint8_t busAddress = 0;  // RS-485 pass: the address read
};

struct RunSettings {
    qtm::CommMode link = qtm::CommMode::Usb;
    std::uint8_t busAddress = 1;
    // The port held for the run, so no other program takes it between two exchanges (the
    // USB link opens and closes it for each); empty for none. A port that cannot be held
    // is still used: its exchanges then say what is wrong.
    std::string holdPort;
};

class MeasurementRun {
public:
    using Receiver = std::function<void(const PassResult&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // A pass without a reading is stretched to this, so a vanished port is retried at a
    // calm pace instead of in a busy loop.
    static constexpr int kFailedPassMs = 1000;

    // receiver runs on context's thread, once per pass, while context lives; clock gives
    // the passes their times (on the worker's thread).
    MeasurementRun(
        qtm::MeterLink& link, QObject* context, Receiver receiver,
        Clock clock = [] { return std::chrono::system_clock::now(); });
    ~MeasurementRun();
    MeasurementRun(const MeasurementRun&) = delete;
    MeasurementRun& operator=(const MeasurementRun&) = delete;

    // Runs passes until Stop(). A worker still finishing its pass after a Stop() is taken
    // back into service instead of a second one being started; nothing here waits for a pass.
    void Start(const RunSettings& settings);
    // Asks the worker to end after (or, between its requests, within) its pass; never blocks.
    void Stop();
    // Stops and waits for the worker (closing the window).
    void Finish();

    // The current Start; passes of an earlier one are stale.
    std::uint64_t Generation() const;
    bool WorkerAlive() const;
    // Worker threads created so far, and the most that were ever alive at once.
    int WorkersStarted() const { return m_workersStarted.load(); }
    int MostWorkersAlive() const { return m_mostAlive.load(); }

private:
    void Work();
    bool Running() const;
    PassResult RunPass(const RunSettings& settings, qtm::LiveValues& last);

    qtm::MeterLink& m_link;
    QObject* m_context;  // outlives the worker: its owner finishes the run first
    Receiver m_receiver;
    Clock m_clock;

    mutable std::mutex m_mutex;  // guards the four below
    bool m_running = false;
    bool m_workerDone = true;
    RunSettings m_settings;
    std::uint64_t m_generation = 0;

    std::thread m_thread;
    qtm::PassPacer m_pacer;
    qtm::PortHold m_hold;  // the window's thread alone takes and lets it go
    std::atomic<int> m_workersStarted{0};
    std::atomic<int> m_alive{0};
    std::atomic<int> m_mostAlive{0};
};
