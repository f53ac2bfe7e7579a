// MeterFacts: what the window knows of the meter from reads that came whole (never an edit
// field, which may hold what the operator typed or what a broken read cleared), for the
// metadata of a saved file. It also answers which of it held when the buffer's readings were
// taken: after the meter may have changed (another meter found, a setting written or read
// back different) a file describes the meter as it was at the last reading.
// Qt-free.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/MeterLink.h"
#include "service/MeterIdentity.h"
#include "service/ReadingLog.h"

class MeterFacts {
public:
    struct Known {
        std::string port;
        std::string link;  // "usb" or "rs485"; empty before any meter
        std::optional<int> address;
        std::optional<std::string> serial, model, band, range;
        std::optional<float> cal, k, calK;
        std::optional<std::int32_t> saveGap;
    };

    // A meter (perhaps another one) is on port: all that was known goes.
    void NewMeter(std::string port, qtm::CommMode link);
    void TakeAddress(int address);
    void TakeModel(std::string_view model);
    // The values of a USB identity read whose replies came whole.
    void TakeIdentity(const qtm::IdentityRead& read);
    void TakeBusIdentity(const qtm::BusIdentity& identity);
    // The settings every bus live block carries (checked by its CRC).
    void TakeBusSettings(float cal, float k, float calK);
    // A write of parameter (the service log's names) was tried: its last read no longer
    // says what the meter holds.
    void Written(std::string_view parameter);
    // A restore may have written any setting.
    void ForgetSettings();

    // A reading went into the buffer / the buffer was emptied.
    void ReadingTaken();
    void ReadingsCleared();

    const Known& Now() const { return m_now; }
    // What held for the buffer's readings: all that is known now unless something changed
    // since the last reading, else what was known then.
    const Known& ForReadings() const;

private:
    template <typename T>
    void Take(std::optional<T>& field, const T& value);
    template <typename T>
    void Forget(std::optional<T>& field);

    Known m_now;
    // m_changes moves on with every change to what was known; m_version with every change
    // at all, values newly learned included.
    std::uint64_t m_changes = 0;
    std::uint64_t m_version = 0;
    Known m_atReading;
    std::uint64_t m_changesAtReading = 0;
    std::uint64_t m_versionAtReading = 0;
    bool m_hasReadings = false;
};

// "# key: value" lines of a file saved at `saved`: program, version, saved, port, link,
// address (RS-485), serial, model, band, range, cal, k, savetime, calk, each only where known.
qtm::LogMetadata DetailedMetadata(const MeterFacts::Known& meter, std::string_view version,
                                  std::chrono::system_clock::time_point saved);
