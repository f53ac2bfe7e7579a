#include "cli/LiveSchedule.h"

#include <algorithm>

namespace qtm::cli {

LiveSchedule::LiveSchedule(const LiveLimits& limits, Time start)
    : m_limits(limits), m_start(start) {
    // A zero interval would put every pass in interval 0 and divide by nothing.
    if (m_limits.interval && m_limits.interval->count() <= 0) m_limits.interval.reset();
}

std::int64_t LiveSchedule::IntervalOf(Time at) const {
    if (at <= m_start) return 0;
    return (at - m_start) / *m_limits.interval;
}

LiveSchedule::Time LiveSchedule::IntervalStart(std::int64_t index) const {
    return m_start + *m_limits.interval * index;
}

bool LiveSchedule::PastEnd(Time at) const {
    return m_limits.duration && at >= m_start + *m_limits.duration;
}

std::optional<LiveSchedule::Time> LiveSchedule::NextPass(Time now) const {
    const bool limited = m_limits.count > 0;
    Time next = now;
    if (OnGrid() && !m_limits.average) {
        if (limited && m_done >= m_limits.count) return std::nullopt;
        // The first interval without its pass; a pass that overran its interval loses the
        // ticks it covered rather than pushing every later reading off the grid.
        const std::int64_t slot = std::max(m_lastSlot + 1, IntervalOf(now));
        next = std::max(IntervalStart(slot), now);
    } else {
        if (m_lastEnd) next = std::max(now, *m_lastEnd + m_limits.pause);
        if (!OnGrid() && limited && m_done >= m_limits.count) return std::nullopt;
        // Averaging counts intervals: a pass in an interval beyond the count is not needed.
        if (OnGrid() && limited && IntervalOf(next) >= m_limits.count) return std::nullopt;
    }
    if (PastEnd(next)) return std::nullopt;
    return next;
}

std::int64_t LiveSchedule::PassDone(Time at, Time end) {
    m_lastEnd = end;
    if (!OnGrid()) return ++m_done;
    const std::int64_t slot = IntervalOf(at);
    if (m_limits.average) {
        m_openInterval = slot;
    } else {
        m_lastSlot = slot;
        ++m_done;
    }
    return slot + 1;
}

std::optional<LiveSchedule::Interval> LiveSchedule::EndedInterval(Time now) const {
    if (!m_limits.average || m_openInterval < 0) return std::nullopt;
    const Time end = IntervalStart(m_openInterval + 1);
    if (now < end) return std::nullopt;
    return Interval{m_openInterval + 1, end};
}

void LiveSchedule::TakeInterval() {
    if (m_openInterval < 0) return;
    m_openInterval = -1;
    ++m_done;
}

std::optional<LiveSchedule::Time> LiveSchedule::OpenIntervalEnd() const {
    if (!m_limits.average || m_openInterval < 0) return std::nullopt;
    const Time end = IntervalStart(m_openInterval + 1);
    if (m_limits.duration && end > m_start + *m_limits.duration) return std::nullopt;
    return end;
}

}  // namespace qtm::cli
