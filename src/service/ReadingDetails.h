// What each buffered reading carries besides its MeasurementRecord: when it was taken and
// the meter's other values of that pass. Kept beside the reading buffer, index for index,
// so the record itself and every file made of records alone stay as they are.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "service/MeasurementRecord.h"

namespace qtm {

// How a reading reached the buffer: it decides the columns a detailed file carries.
enum class ReadingSource : std::uint8_t { UsbLive, BusLive, Imported };

struct ReadingDetail {
    ReadingSource source = ReadingSource::Imported;
    // UTC; empty for a stored reading, which the meter keeps without a clock.
    std::optional<std::chrono::system_clock::time_point> time;
    float temperature = 0, voltage = 0, ad = 0;
    // Bus passes only: the address asked and the settings the meter reported with it.
    int address = 0;
    float zero = 0, cal = 0, calK = 0, k = 0;
};

class ReadingDetails {
public:
    explicit ReadingDetails(std::size_t capacity = kRecordCapacity);

    void Append(const ReadingDetail& detail);
    void Clear();

    std::size_t Count() const { return m_details.size(); }
    ReadingDetail operator[](std::size_t index) const;
    std::optional<std::chrono::system_clock::time_point> TimeOf(std::size_t index) const;
    // Whether any reading came this way.
    bool Has(ReadingSource source) const {
        return m_perSource[static_cast<std::size_t>(source)] > 0;
    }

private:
    // A million of these sit beside a full buffer, so the time is kept as a count with a
    // value of its own for "none" rather than as an optional, which would double its room.
    struct Packed {
        std::int64_t ticks;
        float temperature, voltage, ad, zero, cal, calK, k;
        std::uint8_t address;
        ReadingSource source;
    };
    static constexpr std::int64_t kNoTime = INT64_MIN;

    std::size_t m_capacity;
    std::vector<Packed> m_details;  // reserved once, like the buffer
    std::size_t m_perSource[3] = {0, 0, 0};
};

}  // namespace qtm
