#include "sim/SimLine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>

namespace qtmsim {

namespace {

using Clock = std::chrono::steady_clock;

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::weak_ptr<SimLine>>& Registry() {
    static std::map<std::string, std::weak_ptr<SimLine>> lines;
    return lines;
}

}  // namespace

bool SimLine::NextRequest(std::vector<std::uint8_t>* bytes) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_hungUp || !m_toMeter.empty(); });
    if (m_hungUp) return false;
    bytes->assign(m_toMeter.begin(), m_toMeter.end());
    m_toMeter.clear();
    return true;
}

void SimLine::Reply(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard lock(m_mutex);
        if (m_hungUp) return;
        m_toProgram.insert(m_toProgram.end(), bytes.begin(), bytes.end());
    }
    m_changed.notify_all();
}

void SimLine::HangUp() {
    Unregister(m_name);
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
        m_toMeter.clear();
        m_toProgram.clear();
    }
    m_changed.notify_all();
}

bool SimLine::IsUp() const {
    std::lock_guard lock(m_mutex);
    return !m_hungUp;
}

void SimLine::Register(const std::shared_ptr<SimLine>& line) {
    std::lock_guard lock(RegistryMutex());
    Registry()[line->Name()] = line;
}

void SimLine::Unregister(const std::string& name) {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(name);
}

std::shared_ptr<SimLine> SimLine::Find(const std::string& name) {
    std::lock_guard lock(RegistryMutex());
    const auto it = Registry().find(name);
    return it == Registry().end() ? nullptr : it->second.lock();
}

// The program's end of a line; behaves as PosixPort does on the simulator's pseudo-terminal.
class SimLineTransport : public qtm::PortTransport {
public:
    explicit SimLineTransport(qtm::TransportFactory fallback) : m_fallback(std::move(fallback)) {}
    ~SimLineTransport() override { Close(); }

    bool Open(const std::string& path, int baudRate, qtm::PortError* error) override {
        Close();
        std::shared_ptr<SimLine> line = SimLine::Find(path);
        if (!line && m_fallback) {
            if (!m_other) m_other = m_fallback();
            m_other->SetReadTimeouts(m_timeouts);
            return m_other->Open(path, baudRate, error);
        }
        if (!line) return Refuse(path, ENOENT, error);
        {
            std::lock_guard lock(line->m_mutex);
            if (line->m_hungUp) return Refuse(path, ENOENT, error);
            if (line->m_inUse) return Refuse(path, EBUSY, error);
            line->m_inUse = true;
            // A late reply to an earlier command must not pass for the next one's.
            line->m_toProgram.clear();
        }
        std::lock_guard state(m_stateMutex);
        m_line = std::move(line);
        m_woken = false;
        if (error) *error = qtm::PortError{};
        return true;
    }

    void Close() override {
        if (m_other) m_other->Close();
        std::shared_ptr<SimLine> line;
        {
            std::lock_guard state(m_stateMutex);
            line = std::move(m_line);
            m_line.reset();
        }
        if (!line) return;
        {
            std::lock_guard lock(line->m_mutex);
            line->m_inUse = false;
        }
        // A watch thread waiting on this transport must learn that it closed.
        line->m_changed.notify_all();
    }

    bool IsOpen() const override {
        if (m_other && m_other->IsOpen()) return true;
        std::lock_guard state(m_stateMutex);
        return m_line != nullptr;
    }

    void SetReadTimeouts(const qtm::ReadTimeouts& timeouts) override {
        m_timeouts = timeouts;
        if (m_other) m_other->SetReadTimeouts(timeouts);
    }

    long Read(std::uint8_t* buffer, std::size_t length) override {
        if (m_other && m_other->IsOpen()) return m_other->Read(buffer, length);
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return -1;
        if (length == 0) return 0;
        const qtm::ReadTimeouts t = m_timeouts;
        const bool atOnce = t.intervalMs == qtm::ReadTimeouts::kReturnAtOnce &&
                            t.totalMultiplierMs == 0 && t.totalConstantMs == 0;
        const bool hasTotal = t.totalMultiplierMs > 0 || t.totalConstantMs > 0;
        const Clock::time_point total =
            Clock::now() + std::chrono::milliseconds(static_cast<long long>(t.totalMultiplierMs) *
                                                         static_cast<long long>(length) +
                                                     t.totalConstantMs);
        std::unique_lock lock(line->m_mutex);
        std::size_t got = 0;
        while (got < length) {
            const auto ready = [&] { return line->m_hungUp || !line->m_toProgram.empty(); };
            if (!atOnce) {
                // The interval time-out runs only once the first byte is in.
                std::optional<Clock::time_point> deadline;
                if (hasTotal) deadline = total;
                if (got > 0 && t.intervalMs >= 0) {
                    const auto interval = Clock::now() + std::chrono::milliseconds(t.intervalMs);
                    deadline = deadline ? std::min(*deadline, interval) : interval;
                }
                if (deadline) {
                    if (!line->m_changed.wait_until(lock, *deadline, ready)) break;
                } else {
                    line->m_changed.wait(lock, ready);
                }
            }
            if (line->m_hungUp) return got > 0 ? static_cast<long>(got) : -1;
            const std::size_t n = std::min(length - got, line->m_toProgram.size());
            std::copy_n(line->m_toProgram.begin(), n, buffer + got);
            line->m_toProgram.erase(line->m_toProgram.begin(),
                                    line->m_toProgram.begin() + static_cast<long>(n));
            got += n;
            if (atOnce) break;
        }
        return static_cast<long>(got);
    }

    long Write(const std::uint8_t* data, std::size_t length, int timeoutMs) override {
        if (m_other && m_other->IsOpen()) return m_other->Write(data, length, timeoutMs);
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return -1;
        {
            std::lock_guard lock(line->m_mutex);
            if (line->m_hungUp) return -1;
            line->m_toMeter.insert(line->m_toMeter.end(), data, data + length);
        }
        line->m_changed.notify_all();
        return static_cast<long>(length);
    }

    void PurgeInput() override {
        if (m_other && m_other->IsOpen()) return m_other->PurgeInput();
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return;
        std::lock_guard lock(line->m_mutex);
        line->m_toProgram.clear();
    }

    long InputWaiting() override {
        if (m_other && m_other->IsOpen()) return m_other->InputWaiting();
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return -1;
        std::lock_guard lock(line->m_mutex);
        if (line->m_hungUp) return -1;
        return static_cast<long>(line->m_toProgram.size());
    }

    qtm::WaitOutcome WaitEvent(bool watchInput, int timeoutMs) override {
        if (m_other && m_other->IsOpen()) return m_other->WaitEvent(watchInput, timeoutMs);
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return qtm::WaitOutcome::Failed;
        std::unique_lock lock(line->m_mutex);
        const auto event = [&] {
            return m_woken.load() || line->m_hungUp || !line->m_inUse ||
                   (watchInput && !line->m_toProgram.empty());
        };
        if (timeoutMs < 0) {
            line->m_changed.wait(lock, event);
        } else if (!line->m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), event)) {
            return qtm::WaitOutcome::Timeout;
        }
        // Like the pseudo-terminal's wake counter, a wake-up stays until the port closes.
        if (m_woken) return qtm::WaitOutcome::Woken;
        if (line->m_hungUp || !line->m_inUse) return qtm::WaitOutcome::Failed;
        return qtm::WaitOutcome::Input;
    }

    void WakeWaiter() override {
        if (m_other && m_other->IsOpen()) return m_other->WakeWaiter();
        const std::shared_ptr<SimLine> line = Line();
        if (!line) return;
        m_woken = true;
        // Taking the lock orders the flag before a waiter's check of it.
        { std::lock_guard lock(line->m_mutex); }
        line->m_changed.notify_all();
    }

private:
    std::shared_ptr<SimLine> Line() const {
        std::lock_guard state(m_stateMutex);
        return m_line;
    }

    static bool Refuse(const std::string& path, int err, qtm::PortError* error) {
        if (error) *error = qtm::MakePortError(path, err);
        return false;
    }

    qtm::TransportFactory m_fallback;
    std::unique_ptr<qtm::PortTransport> m_other;  // a real port, when the name was no line
    mutable std::mutex m_stateMutex;
    std::shared_ptr<SimLine> m_line;
    qtm::ReadTimeouts m_timeouts;
    std::atomic<bool> m_woken{false};
};

qtm::TransportFactory SimTransportFactory(qtm::TransportFactory fallback) {
    return
        [fallback = std::move(fallback)] { return std::make_unique<SimLineTransport>(fallback); };
}

}  // namespace qtmsim
