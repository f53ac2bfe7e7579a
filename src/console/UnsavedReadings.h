// UnsavedReadings: whether the window's readings exist anywhere but in its buffer. A live
// run's or an import's readings are unsaved from the first one until a Save has written
// them all; Clear lets them go, and so does the operator's Discard.
#pragma once

#include <cstddef>
#include <cstdint>

class UnsavedReadings {
public:
    // A Save writes a copy of the first count readings of the buffer as it was then.
    struct SaveTicket {
        std::uint64_t buffer = 0;
        std::size_t count = 0;
    };

    // The buffer was emptied: the readings that follow belong to a new one.
    void Cleared() {
        ++m_buffer;
        m_settled = 0;
    }
    SaveTicket SaveStarted(std::size_t count) const { return {m_buffer, count}; }
    // True when the saved readings are still the buffer's (no Clear came in between).
    bool SaveDone(const SaveTicket& ticket) {
        if (ticket.buffer != m_buffer) return false;
        if (ticket.count > m_settled) m_settled = ticket.count;
        return true;
    }
    // The operator gave up the first count readings.
    void LetGo(std::size_t count) {
        if (count > m_settled) m_settled = count;
    }

    // With count readings in the buffer: how many of them would be lost.
    std::size_t Unsaved(std::size_t count) const {
        return count > m_settled ? count - m_settled : 0;
    }

private:
    std::uint64_t m_buffer = 0;  // counts the Clears
    std::size_t m_settled = 0;   // the first readings that were saved or let go
};
