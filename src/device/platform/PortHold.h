// Keeps a serial port for this process for the whole length of a run. The USB link opens
// and closes the port around every request, and another program could take the port in
// between. On Linux a hold keeps a descriptor of its own open with an exclusive flock(), so
// other programs' opens (which take the same lock) are refused until the hold ends, while
// this process's own opens skip that lock (PosixPort asks IsPortHeldHere). On Windows the
// hold keeps the port's only handle (opened without sharing), and this process's own opens
// use copies of it (WinPort asks DuplicateHeldPort).
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <string>

#include "device/PortError.h"

namespace qtm {

class PortHold {
public:
    PortHold() = default;
    ~PortHold();
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

    // Opens path and locks it. False, with the reason in *error, when the port cannot be
    // opened or another program holds it. A hold already taken is let go first.
    bool Take(const std::string& path, PortError* error);
    // Lets the port go; nothing when none is held.
    void Release();
#ifdef _WIN32
    bool Held() const { return m_handle != nullptr; }

private:
    void* m_handle = nullptr;  // the port's HANDLE
    std::string m_key;         // the device name, upper case, as DuplicateHeldPort looks it up
#else
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
#endif
};

#ifdef _WIN32
// A new handle to the port a PortHold of this process holds under deviceName (as given to
// CreateFileW), for this process's own exchanges; null when no hold has it. Thread-safe.
void* DuplicateHeldPort(const std::string& deviceName);
#else
// Whether the port open on fd is held by a PortHold of this process. Thread-safe.
bool IsPortHeldHere(int fd);
#endif

}  // namespace qtm
