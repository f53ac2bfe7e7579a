// A scripted stand-in for a serial port: replies come from a function of each request,
// reads return at once with what is queued, and every open, write and overlap is counted.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "device/PortTransport.h"

namespace qtm::test {

struct FakeLine {
    std::mutex mutex;
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> responder;
    std::deque<std::uint8_t> input;
    std::vector<std::vector<std::uint8_t>> writes;
    bool endlessInput = false;  // every read finds its bytes waiting
    PortErrorKind openFailure = PortErrorKind::None;
    long writeLimit = -1;  // accept at most this many bytes per write (-1: all)
    int silentReads = 0;   // this many reads find nothing, whatever is queued
    int opens = 0;
    int openNow = 0;
    int maxOpenAtOnce = 0;

    std::size_t WriteCount() {
        std::lock_guard lock(mutex);
        return writes.size();
    }
};

class FakeTransport : public PortTransport {
public:
    explicit FakeTransport(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    ~FakeTransport() override { Close(); }

    bool Open(const std::string& path, int, PortError* error) override {
        std::lock_guard lock(m_line->mutex);
        if (m_line->openFailure != PortErrorKind::None) {
            if (error) {
                *error = PortError{};
                error->kind = m_line->openFailure;
                error->path = path;
            }
            return false;
        }
        m_open = true;
        {
            std::lock_guard wait(m_waitMutex);
            m_woken = false;
        }
        ++m_line->opens;
        ++m_line->openNow;
        if (m_line->openNow > m_line->maxOpenAtOnce) m_line->maxOpenAtOnce = m_line->openNow;
        if (error) *error = PortError{};
        return true;
    }
    void Close() override {
        if (!m_open) return;
        std::lock_guard lock(m_line->mutex);
        m_open = false;
        --m_line->openNow;
    }
    bool IsOpen() const override { return m_open; }
    void SetReadTimeouts(const ReadTimeouts&) override {}
    long Read(std::uint8_t* buffer, std::size_t length) override {
        if (!m_open) return -1;
        std::lock_guard lock(m_line->mutex);
        if (m_line->silentReads > 0) {
            --m_line->silentReads;
            return 0;
        }
        if (m_line->endlessInput) {
            for (std::size_t i = 0; i < length; ++i)
                buffer[i] = static_cast<std::uint8_t>(i);
            return static_cast<long>(length);
        }
        std::size_t n = 0;
        while (n < length && !m_line->input.empty()) {
            buffer[n++] = m_line->input.front();
            m_line->input.pop_front();
        }
        return static_cast<long>(n);
    }
    long Write(const std::uint8_t* data, std::size_t length, int) override {
        if (!m_open) return -1;
        std::lock_guard lock(m_line->mutex);
        std::size_t n = length;
        if (m_line->writeLimit >= 0 && n > static_cast<std::size_t>(m_line->writeLimit))
            n = static_cast<std::size_t>(m_line->writeLimit);
        std::vector<std::uint8_t> request(data, data + n);
        m_line->writes.push_back(request);
        if (m_line->responder) {
            const auto reply = m_line->responder(request);
            m_line->input.insert(m_line->input.end(), reply.begin(), reply.end());
        }
        return static_cast<long>(n);
    }
    void PurgeInput() override {
        std::lock_guard lock(m_line->mutex);
        m_line->input.clear();
    }
    long InputWaiting() override {
        std::lock_guard lock(m_line->mutex);
        return static_cast<long>(m_line->input.size());
    }
    WaitOutcome WaitEvent(bool, int timeoutMs) override {
        std::unique_lock lock(m_waitMutex);
        if (timeoutMs < 0)
            m_wake.wait(lock, [this] { return m_woken; });
        else if (!m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return m_woken; }))
            return WaitOutcome::Timeout;
        return WaitOutcome::Woken;
    }
    void WakeWaiter() override {
        std::lock_guard lock(m_waitMutex);
        m_woken = true;
        m_wake.notify_all();
    }

private:
    std::shared_ptr<FakeLine> m_line;
    bool m_open = false;
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    bool m_woken = false;
};

inline TransportFactory FakeFactory(std::shared_ptr<FakeLine> line) {
    return [line] { return std::make_unique<FakeTransport>(line); };
}

}  // namespace qtm::test
