// The ports of a Windows machine, as its registry's serial-port map names them: the port
// list and what each port is.
#include <windows.h>

#include <utility>
#include <vector>

#include "device/platform/PortDetails.h"
#include "device/platform/SystemPorts.h"

namespace qtm {

namespace {

// Room for a value's name and data, as the port list has always read them.
constexpr DWORD kNameChars = 260;
constexpr DWORD kDataBytes = 260;

struct MapEntry {
    std::string device;  // the driver's device, such as "\Device\Serial0"
    std::string port;    // the port's name, such as "COM3"
};

std::string NarrowAscii(const wchar_t* text, std::size_t length) {
    std::string narrow;
    for (std::size_t i = 0; i < length && text[i] != L'\0'; ++i)
        narrow += static_cast<char>(text[i] & 0xFF);
    return narrow;
}

// Every value of the map in the registry's order; nothing when the key is missing or a
// value cannot be read.
std::vector<MapEntry> ReadSerialCommMap() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return {};
    std::vector<MapEntry> entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars];
        DWORD nameLength = kNameChars;
        BYTE data[kDataBytes] = {};
        DWORD dataBytes = kDataBytes;
        DWORD type = 0;
        const LONG rc =
            ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            entries.clear();
            break;
        }
        // The data is the port's name in UTF-16; port names are ASCII, so every byte that
        // is not zero is one character.
        std::string port;
        for (DWORD i = 0; i < dataBytes; ++i)
            if (data[i] != 0) port += static_cast<char>(data[i]);
        entries.push_back({NarrowAscii(name, nameLength), port});
    }
    ::RegCloseKey(key);
    return entries;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                            b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace

std::vector<std::string> ListSystemSerialPorts(const std::string& /*ttyRoot*/) {
    std::vector<std::string> ports;
    for (const MapEntry& entry : ReadSerialCommMap())
        ports.push_back(WindowsDeviceName(entry.port));
    return ports;
}

PortDetails ReadPortDetails(const std::string& portPath, const std::string& /*sysfsRoot*/) {
    const std::string prefix = "\\\\.\\";
    const std::string name =
        portPath.rfind(prefix, 0) == 0 ? portPath.substr(prefix.size()) : portPath;
    PortDetails details;
    for (const MapEntry& entry : ReadSerialCommMap()) {
        if (!SameName(entry.port, name)) continue;
        details.kind = PortKind::Hardware;
        details.product = entry.device;
        return details;
    }
    details.kind = PortKind::Missing;
    return details;
}

}  // namespace qtm
