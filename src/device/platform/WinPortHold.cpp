#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <vector>

#include "device/platform/PortHold.h"
#include "device/platform/SystemPorts.h"
#include "device/platform/WinPort.h"
#include "device/platform/WinWideText.h"

namespace qtm {
namespace {

struct HeldPort {
    std::string key;
    HANDLE handle;
    HANDLE claim;  // the first hold's ClaimPortName, null for the others
};

// The ports held in this process, one entry per hold. Exchanges on other threads look
// here while a hold is taken or let go.
std::mutex g_heldMutex;
std::vector<HeldPort> g_held;

// Device names are not case-sensitive: "com5" and "COM5" are one port.
std::string KeyOf(const std::string& deviceName) {
    std::string key = deviceName;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

HANDLE Duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    const HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, handle, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

HANDLE FindLocked(const std::string& key) {
    const auto at = std::find_if(g_held.begin(), g_held.end(),
                                 [&](const HeldPort& held) { return held.key == key; });
    return at == g_held.end() ? nullptr : at->handle;
}

}  // namespace

PortHold::~PortHold() {
    Release();
}

bool PortHold::Take(const std::string& path, PortError* error) {
    Release();
    const std::string device = WindowsDeviceName(path);
    const std::string key = KeyOf(device);
    auto fail = [&](HANDLE handle, int err) {
        if (handle != nullptr) ::CloseHandle(handle);
        if (error) *error = MakePortError(path, err);
        return false;
    };
    std::lock_guard lock(g_heldMutex);
    // A second hold in this process shares the first one's handle (its own open would be
    // refused by it).
    HANDLE handle = nullptr;
    HANDLE claim = nullptr;
    if (const HANDLE first = FindLocked(key)) {
        handle = Duplicate(first);
        if (handle == nullptr) return fail(nullptr, PortErrnoOf(::GetLastError()));
    } else {
        // The same open as the port's own (no sharing, overlapped), since the exchanges'
        // handles are copies of this one and share its mode.
        claim = ClaimPortName(device);
        if (claim == nullptr) return fail(nullptr, EBUSY);
        handle = ::CreateFileW(WideFromUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const int err = PortErrnoOf(::GetLastError());
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (handle == INVALID_HANDLE_VALUE || !::GetCommState(handle, &dcb)) {
            ::CloseHandle(claim);
            return fail(handle == INVALID_HANDLE_VALUE ? nullptr : handle,
                        handle == INVALID_HANDLE_VALUE ? err : ENOTTY);
        }
    }
    g_held.push_back({key, handle, claim});
    m_handle = handle;
    m_key = key;
    if (error) *error = PortError{};
    return true;
}

void PortHold::Release() {
    if (m_handle == nullptr) return;
    {
        std::lock_guard lock(g_heldMutex);
        const auto at = std::find_if(g_held.begin(), g_held.end(),
                                     [&](const HeldPort& held) { return held.handle == m_handle; });
        if (at != g_held.end()) {
            if (at->claim != nullptr) ::CloseHandle(at->claim);
            g_held.erase(at);
        }
    }
    ::CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
    m_key.clear();
}

void* DuplicateHeldPort(const std::string& deviceName) {
    std::lock_guard lock(g_heldMutex);
    const HANDLE held = FindLocked(KeyOf(deviceName));
    return held == nullptr ? nullptr : Duplicate(held);
}

}  // namespace qtm
