#include "service/ReadingBuffer.h"

#include <cstdint>

namespace qtm {

ReadingBuffer::ReadingBuffer(std::size_t capacity) : m_capacity(capacity) {
    m_records.reserve(capacity);
}

bool ReadingBuffer::Append(float power, double energy, float seconds) {
    if (Full()) return false;
    m_records.push_back(
        MeasurementRecord{static_cast<std::int32_t>(m_records.size() + 1), power, energy, seconds});
    return true;
}

void ReadingBuffer::Clear() {
    // Keeps the reservation: the next run appends without reallocating.
    m_records.clear();
}

}  // namespace qtm
