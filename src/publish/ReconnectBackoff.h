// When to try the broker again: the wait doubles after each failed attempt from a quarter
// of a second to at most five, and starts over once a connection is made. Pure arithmetic
// on time points, so it is tested with numbers rather than by waiting.
#pragma once

#include <chrono>

namespace qtm {

class ReconnectBackoff {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kFirstWait{250};
    static constexpr std::chrono::milliseconds kLongestWait{5000};

    // True when an attempt may be made at now (at once, before any failure).
    bool Due(TimePoint now) const { return now >= m_due; }
    TimePoint DueAt() const { return m_due; }
    // An attempt failed at now: the next is due after the current wait, which then grows.
    void Failed(TimePoint now);
    // A connection was made: the next failure waits the first wait again.
    void Connected() { m_wait = kFirstWait; }
    // The next attempt is due at once, with the wait as it is (a reconnect of our own).
    void DueNow(TimePoint now) { m_due = now; }

private:
    TimePoint m_due{};
    std::chrono::milliseconds m_wait = kFirstWait;
};

}  // namespace qtm
