// What the fake meter measures: smooth, deterministic functions of the elapsed time,
// and the bookkeeping (energy, stored readings, fitting points) that time drives.
#pragma once

#include <string_view>

#include "sim/MeterState.h"

namespace qtmsim {

struct LiveValues {
    float power = 0;
    float temperature = 0;  // degrees Celsius
    float voltage = 0;      // sensor supply, volts
    float ad = 0;           // raw A/D value
};

// A level that suits the quantity the model measures (lux for unknown names).
double DefaultLevel(std::string_view model);

// The readings at `t` seconds since the meter started.
double PowerAt(double level, double t);
LiveValues ValuesAt(const MeterState& state, double t);
// The dark A/D level a zero calibration would find at `t`.
float DarkLevelAt(double t);

// Brings energy, accumulation time, stored readings and fitting points up to `now`.
// A clock that goes backwards changes nothing.
void AdvanceTo(MeterState& state, double now);

// Applies an energy-accumulation write at `now`. False for an unknown state value.
bool SetEnergyState(MeterState& state, std::uint8_t value, double now);

// Starts the meter's fitting run at `now`: the points are cleared, and the run takes
// one a second as it sweeps the sensor from 15 degrees upwards (FitPointAt).
void StartFitting(MeterState& state, double now);
// Ends the run (bring the state up to date first) and fits the formula to the points.
void EndFitting(MeterState& state);

// The stored readings a meter with `count` records holds before anything is logged.
std::vector<float> InitialRecords(double level, int count);
// Point `index` of a fitting run: the temperature of the sweep and the A/D value
// the sensor gives there, a smooth drift above its zero.
FitPoint FitPointAt(int index, float zeroValue);
// The fitting points of an earlier run, so that a fresh meter has data to show.
std::array<FitPoint, kFitPoints> InitialFitPoints();

}  // namespace qtmsim
