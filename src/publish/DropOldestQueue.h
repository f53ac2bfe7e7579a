// A queue of at most a given number of items that makes room by dropping its oldest, and
// counts what it dropped: a logger's readings wait here while the broker is away, and the
// newest readings are the ones worth keeping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace qtm {

template <typename T>
class DropOldestQueue {
public:
    explicit DropOldestQueue(std::size_t capacity) : m_capacity(capacity > 0 ? capacity : 1) {}

    // Appends item, dropping the oldest first when the queue is full. True when one went.
    bool PushBack(T item) {
        bool dropped = false;
        if (m_items.size() >= m_capacity) {
            m_items.pop_front();
            CountDrop();
            dropped = true;
        }
        m_items.push_back(std::move(item));
        return dropped;
    }

    // Puts back in front items taken out earlier (and not delivered), first item first.
    // They are older than everything queued, so when there is no room for all of them,
    // the first of them are the ones dropped.
    void PushFront(std::vector<T> items) {
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (m_items.size() >= m_capacity) {
                // This one and every one before it are older than what is queued.
                for (; it != items.rend(); ++it)
                    CountDrop();
                break;
            }
            m_items.push_front(std::move(*it));
        }
    }

    std::optional<T> PopFront() {
        if (m_items.empty()) return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

    std::size_t Size() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    std::size_t Capacity() const { return m_capacity; }
    // Every item dropped since the queue was made.
    std::uint64_t Dropped() const { return m_dropped; }

    // A burst of drops is told twice, not once per item: true once, at its first drop...
    bool TakeBurstStart() { return std::exchange(m_burstStartUntold, false); }
    // ...and its count once it is over, that is when the queue has room again.
    std::optional<std::uint64_t> TakeEndedBurst() {
        if (m_burst == 0 || m_items.size() >= m_capacity) return std::nullopt;
        m_burstStartUntold = false;
        return std::exchange(m_burst, 0);
    }

private:
    void CountDrop() {
        ++m_dropped;
        if (m_burst++ == 0) m_burstStartUntold = true;
    }

    std::size_t m_capacity;
    std::deque<T> m_items;
    std::uint64_t m_dropped = 0;
    std::uint64_t m_burst = 0;  // drops not yet told as an ended burst
    bool m_burstStartUntold = false;
};

}  // namespace qtm
