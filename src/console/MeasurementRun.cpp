#include "console/MeasurementRun.h"

#include <chrono>

namespace {

std::string FailureText(const qtm::MeterLink& link, qtm::CommMode mode) {
    const qtm::PortError error = link.LastOpenError();
    if (error.Failed()) return error.Describe();
    const bool bus = mode == qtm::CommMode::Rs485;
    const std::string port = bus ? link.Bus().PortName() : link.PortName();
    if (bus && link.BusPortFailed()) return port + ": the port stopped working";
    return port + ": the meter does not answer";
}

}  // namespace

MeasurementRun::MeasurementRun(qtm::MeterLink& link, QObject* context, Receiver receiver,
                               Clock clock)
    : m_link(link),
      m_context(context),
      m_receiver(std::move(receiver)),
      m_clock(std::move(clock)) {}

MeasurementRun::~MeasurementRun() {
    Finish();
}

void MeasurementRun::Start(const RunSettings& settings) {
    if (settings.holdPort.empty()) {
        m_hold.Release();
    } else {
        m_hold.Take(settings.holdPort, nullptr);
    }
    std::lock_guard lock(m_mutex);
    m_settings = settings;
    ++m_generation;
    m_running = true;
    m_pacer.Resume();
    if (!m_workerDone) return;  // the worker has not seen the Stop yet: it carries on
    // A worker that is done has left its loop, so this join does not wait for a pass.
    if (m_thread.joinable()) m_thread.join();
    m_workerDone = false;
    ++m_workersStarted;
    m_thread = std::thread([this] { Work(); });
}

void MeasurementRun::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
    }
    m_pacer.Stop();
    m_hold.Release();
}

void MeasurementRun::Finish() {
    Stop();
    if (m_thread.joinable()) m_thread.join();
}

std::uint64_t MeasurementRun::Generation() const {
    std::lock_guard lock(m_mutex);
    return m_generation;
}

bool MeasurementRun::WorkerAlive() const {
    std::lock_guard lock(m_mutex);
    return !m_workerDone;
}

bool MeasurementRun::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void MeasurementRun::Work() {
    const int alive = ++m_alive;
    int most = m_mostAlive.load();
    while (alive > most && !m_mostAlive.compare_exchange_weak(most, alive)) {
    }
    qtm::LiveValues last;
    int failures = 0;
    for (;;) {
        RunSettings settings;
        std::uint64_t generation = 0;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running) {
                m_workerDone = true;
                --m_alive;
                return;
            }
            settings = m_settings;
            generation = m_generation;
        }
        const auto started = std::chrono::steady_clock::now();
        PassResult result = RunPass(settings, last);
        result.generation = generation;
        failures = result.ok ? 0 : failures + 1;
        result.failuresInRow = failures;
        if (!result.ok && Running()) {
            result.failure = FailureText(m_link, settings.link);
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            if (spent.count() < kFailedPassMs)
                m_pacer.Wait(kFailedPassMs - static_cast<int>(spent.count()));
        }
        if (m_context) {
            QMetaObject::invokeMethod(
                m_context, [receiver = m_receiver, result] { receiver(result); },
                Qt::QueuedConnection);
        }
    }
}

PassResult MeasurementRun::RunPass(const RunSettings& settings, qtm::LiveValues& last) {
    PassResult result;
    result.link = settings.link;
    if (settings.link == qtm::CommMode::Rs485) {
        // An adapter that was pulled out leaves a dead handle: only opening the port again
        // finds it when it is back.
        if (m_link.BusPortFailed() || !m_link.BusPortOpen()) m_link.ReopenBusPort();
        result.busAddress = settings.busAddress;
        if (const auto values = qtm::ReadBusPass(m_link, settings.busAddress, m_pacer)) {
            result.taken = m_clock();
            result.ok = true;
            result.bus = *values;
        }
        return result;
    }
    // The power request goes out first and its reply comes within milliseconds; the rest
    // of the pass takes longer.
    result.taken = m_clock();
    const qtm::UsbPass pass = qtm::ReadUsbPass(m_link, last, [this] { return Running(); });
    result.ok = pass.values.powerOk;
    result.usb = pass.values;
    result.storagePages = pass.storagePages;
    // A pass without a reading leaves the values the next pass starts from as they were.
    if (result.ok) last = pass.values;
    return result;
}
