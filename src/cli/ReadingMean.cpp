#include "cli/ReadingMean.h"

namespace qtm::cli {

void ReadingMean::Add(const ReadingObject& r) {
    ++m_count;
    m_last = r;
    m_power += r.power;
    m_energy += r.energy;
    m_seconds += r.seconds;
    m_temperature += r.temperature;
    m_voltage += r.voltage;
    m_ad += r.ad;
    m_zero += r.zero;
    m_cal += r.cal;
    m_calK += r.calK;
    m_k += r.k;
}

ReadingObject ReadingMean::Mean() const {
    ReadingObject mean = m_last;
    if (m_count == 0) return mean;
    const double n = m_count;
    auto single = [n](double sum) { return static_cast<float>(sum / n); };
    mean.power = single(m_power);
    mean.energy = m_energy / n;
    mean.seconds = single(m_seconds);
    mean.temperature = single(m_temperature);
    mean.voltage = single(m_voltage);
    mean.ad = single(m_ad);
    mean.zero = single(m_zero);
    mean.cal = single(m_cal);
    mean.calK = single(m_calK);
    mean.k = single(m_k);
    return mean;
}

void ReadingMean::Clear() {
    *this = ReadingMean{};
}

}  // namespace qtm::cli
