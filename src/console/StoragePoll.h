// StoragePoll: the stopped window's storage-counter read, run off the window's thread so a
// silent or vanished meter never freezes the window; the page count comes back by a queued call.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "device/MeterLink.h"

class StoragePoll {
public:
    using Receiver = std::function<void(std::optional<std::uint16_t> pages)>;

    // receiver runs on context's thread; the owner of context destroys the poll first.
    StoragePoll(qtm::MeterLink& link, QObject* context, Receiver receiver);
    ~StoragePoll();
    StoragePoll(const StoragePoll&) = delete;
    StoragePoll& operator=(const StoragePoll&) = delete;

    // Starts one read; false (and nothing starts) while the previous one is still out.
    bool Poll();
    // Waits for a read that is out.
    void Join();

private:
    qtm::MeterLink& m_link;
    QObject* m_context;
    Receiver m_receiver;
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
};
