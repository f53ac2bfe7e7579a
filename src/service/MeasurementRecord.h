// One buffered live reading, as the reading list and the export number them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qtm {

struct MeasurementRecord {
    std::int32_t number = 0;  // reading number, from 1
    float power = 0;
    double energy = 0;
    float seconds = 0;  // accumulation time
};

// The reading buffer's fixed capacity.
inline constexpr std::size_t kRecordCapacity = 1000000;

}  // namespace qtm
