// The readings of one live run or one import, numbered from 1 up to a fixed capacity. The
// live loop and the import fill it; the reading list, the CSV export and the journal read it.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "service/MeasurementRecord.h"

namespace qtm {

// One writer at a time: the window appends on its own thread (the measurement worker and the
// import post their values there), the CLI on its only thread. Readers on that same thread.
class ReadingBuffer {
public:
    explicit ReadingBuffer(std::size_t capacity = kRecordCapacity);

    // Appends a record numbered Count() + 1. False, and nothing changes, when the buffer is full.
    bool Append(float power, double energy, float seconds);
    // Forgets every record; the next one is numbered 1 again.
    void Clear();

    std::size_t Count() const { return m_records.size(); }
    std::size_t Capacity() const { return m_capacity; }
    bool Empty() const { return m_records.empty(); }
    bool Full() const { return m_records.size() >= m_capacity; }

    const MeasurementRecord& operator[](std::size_t index) const { return m_records[index]; }
    const MeasurementRecord& Last() const { return m_records.back(); }
    std::span<const MeasurementRecord> Records() const { return m_records; }

private:
    std::size_t m_capacity;
    // Reserved once, so appending never moves the records a reader holds a span of; pages
    // are only touched (and made resident) as records arrive.
    std::vector<MeasurementRecord> m_records;
};

}  // namespace qtm
