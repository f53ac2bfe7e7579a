// One whole pass of the live measurement as the window and the CLI run it: on USB the five
// live reads and then the meter's storage fill; on RS-485 a pause, then the live block. The
// pauses can be cut short, so a measurement stops promptly.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "device/MeterLink.h"
#include "service/LiveReadings.h"

namespace qtm {

// The meter's record memory: pages of 15 readings, 7500 readings in all.
inline constexpr int kStoredPerPage = 15;
inline constexpr int kStorageCapacity = 7500;

struct StorageFill {
    int used = 0;       // readings stored, 15 per reported page
    float percent = 0;  // used / 7500 × 100, single precision
    // A count beyond the memory's size is not believed: counter and bar keep their values.
    bool Plausible() const { return used <= kStorageCapacity; }
};

StorageFill StorageFillOf(std::uint16_t pages);
// "USED/7500".
std::string StorageText(int used);
// The storage bar's position: the percent truncated, 100 at most.
int StorageBarValue(float percent);

// The meter's page count, or nothing when the read failed (port gone, request not sent,
// or the reply did not arrive whole: a meter that went quiet has not been emptied).
std::optional<std::uint16_t> ReadStoragePages(MeterLink& link);

// A pause that another thread can cut short; once stopped, every wait returns at once
// until Resume().
class PassPacer {
public:
    // True when the whole pause passed, false when Stop() cut it short.
    bool Wait(int ms);
    void Stop();
    void Resume();
    bool Stopped() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopped = false;
};

struct UsbPass {
    LiveValues values;                          // values.powerOk: the pass gave a reading
    std::optional<std::uint16_t> storagePages;  // empty when the storage read failed
};

// The five live reads, then the storage read. Between reads carryOn is asked whether to go
// on; when it says no, the pass ends early without a reading (powerOk false).
UsbPass ReadUsbPass(MeterLink& link, const LiveValues& previous,
                    const std::function<bool()>& carryOn = {});

// The bus meter is given a second between live blocks.
inline constexpr int kBusPassPauseMs = 1000;

// The pause, then the live block at address. Nothing when the pause was cut short or the
// read failed.
std::optional<BusLiveValues> ReadBusPass(MeterLink& link, std::uint8_t address, PassPacer& pacer);

}  // namespace qtm
