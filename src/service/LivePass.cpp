#include "service/LivePass.h"

#include <chrono>

namespace qtm {

StorageFill StorageFillOf(std::uint16_t pages) {
    StorageFill fill;
    fill.used = kStoredPerPage * pages;
    fill.percent = static_cast<float>(fill.used) / static_cast<float>(kStorageCapacity) * 100.0f;
    return fill;
}

std::string StorageText(int used) {
    return std::to_string(used) + "/" + std::to_string(kStorageCapacity);
}

int StorageBarValue(float percent) {
    if (!(percent < 100.0f)) return 100;
    if (!(percent > 0.0f)) return 0;
    return static_cast<int>(percent);
}

std::optional<std::uint16_t> ReadStoragePages(MeterLink& link) {
    MemoryUsage usage;
    auto sequence = link.LockSequence();
    if (link.ReadMemoryUsage(usage) != 1 || !link.LastReplyWhole()) return std::nullopt;
    return usage.Pages();
}

bool PassPacer::Wait(int ms) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopped; });
}

void PassPacer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
}

void PassPacer::Resume() {
    std::lock_guard lock(m_mutex);
    m_stopped = false;
}

bool PassPacer::Stopped() const {
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

UsbPass ReadUsbPass(MeterLink& link, const LiveValues& previous,
                    const std::function<bool()>& carryOn) {
    UsbPass pass;
    pass.values = ReadLiveValues(link, previous, carryOn);
    if (carryOn && !carryOn()) {
        pass.values.powerOk = false;
        return pass;
    }
    pass.storagePages = ReadStoragePages(link);
    return pass;
}

std::optional<BusLiveValues> ReadBusPass(MeterLink& link, std::uint8_t address, PassPacer& pacer) {
    if (!pacer.Wait(kBusPassPauseMs)) return std::nullopt;
    return ReadBusLiveValues(link, address);
}

}  // namespace qtm
