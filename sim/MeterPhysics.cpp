#include "sim/MeterPhysics.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "sim/PolynomialFit.h"

namespace qtmsim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// The power drifts slowly (30 s period) with a faster ripple on top, so a chart
// shows movement within seconds while neighbouring readings stay close.
constexpr double kSlowPeriod = 30.0;
constexpr double kSlowDepth = 0.08;
constexpr double kRipplePeriod = 7.3;
constexpr double kRippleDepth = 0.02;
constexpr double kRipplePhase = 1.0;
constexpr float kFullScale = 16777215.0f;  // 24-bit converter

// Antiderivative of PowerAt, so energy over any interval is exact whatever the
// spacing of the requests.
double PowerIntegral(double level, double t) {
    const double w1 = kTwoPi / kSlowPeriod;
    const double w2 = kTwoPi / kRipplePeriod;
    return level * (t - kSlowDepth / w1 * std::cos(w1 * t) -
                    kRippleDepth / w2 * std::cos(w2 * t + kRipplePhase));
}

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

double DefaultLevel(std::string_view model) {
    std::string name;
    for (char c : model)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // The quantity is named by the letters after the "QTX-2x0" part.
    std::string suffix;
    const auto dash = name.find('-');
    if (dash != std::string::npos) {
        std::size_t i = dash + 1;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])))
            ++i;
        suffix = name.substr(i);
    }
    struct Level {
        std::string_view prefix;
        double value;
    };
    // Longer prefixes first: "PAR" before "P", "CIL" and "LM" before "L".
    static constexpr Level kLevels[] = {
        {"CIL", 45.0},   {"LM", 800.0}, {"LP", 2500.0}, {"L", 1200.0}, {"IR", 1500.0},
        {"PAR", 2000.0}, {"P", 850.0},  {"UV", 350.0},  {"B", 900.0},  {"R", 1100.0},
    };
    for (const Level& l : kLevels) {
        if (StartsWith(suffix, l.prefix)) return l.value;
    }
    return 25000.0;  // illuminance in lux
}

double PowerAt(double level, double t) {
    return level * (1.0 + kSlowDepth * std::sin(kTwoPi * t / kSlowPeriod) +
                    kRippleDepth * std::sin(kTwoPi * t / kRipplePeriod + kRipplePhase));
}

float DarkLevelAt(double t) {
    return static_cast<float>(std::round(8000.0 + 40.0 * std::sin(kTwoPi * t / 45.0)));
}

LiveValues ValuesAt(const MeterState& state, double t) {
    LiveValues v;
    v.power = static_cast<float>(PowerAt(state.level, t));
    v.temperature = static_cast<float>(24.5 + 1.2 * std::sin(kTwoPi * t / 300.0));
    v.voltage = static_cast<float>(3.90 + 0.03 * std::sin(kTwoPi * t / 90.0));
    // The converter counts from the dark level up; K and the calibration value
    // are the meter's conversion from counts to the displayed quantity.
    const float k = state.k != 0 ? state.k : 1.0f;
    const float ad = state.zeroValue + v.power * state.calValue / k;
    v.ad = std::round(std::clamp(ad, 0.0f, kFullScale));
    return v;
}

void AdvanceTo(MeterState& state, double now) {
    if (!(now > state.lastAdvance)) return;
    const double from = state.lastAdvance;
    if (state.accumulating) {
        state.energy += PowerIntegral(state.level, now) - PowerIntegral(state.level, from);
        state.accumulatedSeconds += now - from;
        if (state.saveGap > 0) {
            while (state.nextRecordAt <= now &&
                   state.records.size() < static_cast<std::size_t>(kRecordCapacity)) {
                state.records.push_back(
                    static_cast<float>(PowerAt(state.level, state.nextRecordAt)));
                state.nextRecordAt += state.saveGap;
            }
            // A full memory stores nothing, but its schedule goes on: erasing it later
            // must not fill it at once with readings from the time it was full.
            if (state.nextRecordAt <= now) {
                const double missed = std::floor((now - state.nextRecordAt) / state.saveGap) + 1.0;
                state.nextRecordAt += missed * state.saveGap;
            }
        }
    }
    if (state.fitting) {
        while (state.fitCollected < kFitPoints && state.nextFitPointAt <= now) {
            state.fitPoints[static_cast<std::size_t>(state.fitCollected)] =
                FitPointAt(state.fitCollected, state.zeroValue);
            ++state.fitCollected;
            state.nextFitPointAt += 1.0;
        }
    }
    state.lastAdvance = now;
}

bool SetEnergyState(MeterState& state, std::uint8_t value, double now) {
    if (value > static_cast<std::uint8_t>(EnergyState::Pause)) return false;
    AdvanceTo(state, now);
    const auto next = static_cast<EnergyState>(value);
    switch (next) {
        case EnergyState::Start:
            if (state.runEnded) {
                state.energy = 0;
                state.accumulatedSeconds = 0;
                state.runEnded = false;
            }
            if (!state.accumulating) state.nextRecordAt = now + state.saveGap;
            state.accumulating = true;
            break;
        case EnergyState::Stop:
            state.accumulating = false;
            state.runEnded = true;
            break;
        case EnergyState::Pause:
            state.accumulating = false;
            break;
        case EnergyState::Clear:
            state.energy = 0;
            state.accumulatedSeconds = 0;
            break;
    }
    state.energyState = next;
    return true;
}

void StartFitting(MeterState& state, double now) {
    AdvanceTo(state, now);
    state.fitting = true;
    state.fitCollected = 0;
    state.fitPoints = {};
    state.nextFitPointAt = now + 1.0;
}

void EndFitting(MeterState& state) {
    if (!state.fitting) return;
    state.fitting = false;
    // The meter's formula turns temperature into the A/D value it expects, so it fits
    // AD against T; a run too short to fix a quartic keeps the previous formula.
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < state.fitCollected; ++i) {
        const FitPoint& p = state.fitPoints[static_cast<std::size_t>(i)];
        points.emplace_back(p.temperature, p.ad);
    }
    if (const auto c = FitQuartic(points)) state.coefficients = *c;
}

std::vector<float> InitialRecords(double level, int count) {
    std::vector<float> records;
    records.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        records.push_back(static_cast<float>(level * (1.0 + 0.1 * std::sin(i * 0.21))));
    }
    return records;
}

FitPoint FitPointAt(int index, float zeroValue) {
    const double t = 15.0 + 0.8 * index;
    const double d = t - 25.0;
    const double drift = 1800.0 * d + 12.0 * d * d + 0.05 * d * d * d + 0.001 * d * d * d * d;
    return {static_cast<float>(t), static_cast<float>(zeroValue + 1000000.0 + drift)};
}

std::array<FitPoint, kFitPoints> InitialFitPoints() {
    std::array<FitPoint, kFitPoints> points{};
    for (int i = 0; i < kFitPoints; ++i)
        points[static_cast<std::size_t>(i)] = FitPointAt(i, 8000.0f);
    return points;
}

}  // namespace qtmsim
