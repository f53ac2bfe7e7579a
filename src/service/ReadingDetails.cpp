#include "service/ReadingDetails.h"

namespace qtm {

using TimePoint = std::chrono::system_clock::time_point;

ReadingDetails::ReadingDetails(std::size_t capacity) : m_capacity(capacity) {
    m_details.reserve(capacity);
}

void ReadingDetails::Append(const ReadingDetail& d) {
    if (m_details.size() >= m_capacity) return;
    // A time at the very bottom of the clock's range cannot come from a meter's pass; it
    // stands for "none".
    const std::int64_t ticks = d.time ? d.time->time_since_epoch().count() : kNoTime;
    m_details.push_back({ticks, d.temperature, d.voltage, d.ad, d.zero, d.cal, d.calK, d.k,
                         static_cast<std::uint8_t>(d.address), d.source});
    ++m_perSource[static_cast<std::size_t>(d.source)];
}

void ReadingDetails::Clear() {
    m_details.clear();  // keeps the reservation
    for (std::size_t& n : m_perSource)
        n = 0;
}

std::optional<TimePoint> ReadingDetails::TimeOf(std::size_t index) const {
    const std::int64_t ticks = m_details[index].ticks;
    if (ticks == kNoTime) return std::nullopt;
    return TimePoint(TimePoint::duration(ticks));
}

ReadingDetail ReadingDetails::operator[](std::size_t index) const {
    const Packed& p = m_details[index];
    ReadingDetail d;
    d.source = p.source;
    d.time = TimeOf(index);
    d.temperature = p.temperature;
    d.voltage = p.voltage;
    d.ad = p.ad;
    d.address = p.address;
    d.zero = p.zero;
    d.cal = p.cal;
    d.calK = p.calK;
    d.k = p.k;
    return d;
}

}  // namespace qtm
