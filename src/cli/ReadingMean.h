// The mean of the readings of one interval, field by field, for live --average. Sums are
// kept in double precision so a long interval of single-precision values loses nothing.
#pragma once

#include "service/ReadingObject.h"

namespace qtm::cli {

class ReadingMean {
public:
    void Add(const ReadingObject& reading);
    // The mean of the readings added since the last Clear; its n, time and texts are those
    // of the last reading added. Only when Count() > 0.
    ReadingObject Mean() const;
    int Count() const { return m_count; }
    void Clear();

private:
    int m_count = 0;
    ReadingObject m_last;
    double m_power = 0, m_energy = 0, m_seconds = 0, m_temperature = 0, m_voltage = 0, m_ad = 0;
    double m_zero = 0, m_cal = 0, m_calK = 0, m_k = 0;
};

}  // namespace qtm::cli
