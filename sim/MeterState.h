// Everything the fake meter remembers: its parameters, its energy counter, its record
// memory and its fitting data. Plain data; MeterModel and the command handlers change it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qtmsim {

// The values the energy-accumulation write selects.
enum class EnergyState : std::uint8_t { Stop = 0, Start = 1, Clear = 2, Pause = 3 };

struct FitPoint {
    float temperature = 0;  // T, degrees Celsius
    float ad = 0;           // raw A/D value
};

inline constexpr int kFitPoints = 50;
inline constexpr int kRecordsPerPage = 15;
// What the record memory holds; the meter stops storing when it is full.
inline constexpr int kRecordCapacity = 7500;

struct MeterState {
    // Identity and parameters, as the meter stores them (texts without padding).
    std::string model;
    std::string serial;
    std::string band;
    std::string range;
    float calValue = 2.5f;      // read with 0x0F, written with 0x07 or register 0xE010
    float k = 1.0f;             // illumination coefficient, read with 0x10, written with 0x0F
    float calK = 1.0f;          // fit coefficient, written with 0x43
    float zeroValue = 8000.0f;  // dark A/D level, set by the zero calibration
    std::int32_t saveGap = 1;   // seconds between stored readings while a run is on
    std::uint8_t address = 1;   // Modbus bus address
    double level = 0;           // the level the power reading varies around

    // Energy accumulation.
    EnergyState energyState = EnergyState::Stop;
    bool accumulating = false;
    bool runEnded = true;  // a Start after Stop begins a new run from zero
    double energy = 0;     // power-unit seconds
    double accumulatedSeconds = 0;
    double lastAdvance = 0;  // the clock up to which the counters are brought

    // Record memory and the page the last page read resolved to.
    std::vector<float> records;
    double nextRecordAt = 0;
    int lastPageRead = -1;

    // Fitting.
    bool fitting = false;
    int fitCollected = 0;
    double nextFitPointAt = 0;
    std::array<FitPoint, kFitPoints> fitPoints{};
    // Polynomial coefficients c0..c4 of c4*x^4 + c3*x^3 + c2*x^2 + c1*x + c0.
    std::array<double, 5> coefficients{0.5, 1.25, -0.0125, 0.00042, -3.6e-6};

    bool usbDiskMode = false;  // set by the "QTM300" USB-disk command
};

}  // namespace qtmsim
