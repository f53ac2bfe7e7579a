#include "device/platform/SystemPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace qtm {

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsLegacyUartName(const std::string& name) {
    if (name.size() <= 4 || name.compare(0, 4, "ttyS") != 0) return false;
    return std::all_of(name.begin() + 4, name.end(), IsDigit);
}

// A legacy 8250 entry exists for every possible UART; only those whose type is known
// are real. sysfs says so in "type"; older kernels only through TIOCGSERIAL.
bool LegacyUartPresent(const fs::path& entry, const std::string& devPath) {
    std::ifstream typeFile(entry / "type");
    int type = -1;
    if (typeFile >> type) return type != 0;  // 0 is PORT_UNKNOWN
    const int fd = ::open(devPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

}  // namespace

std::vector<std::string> ListSystemSerialPorts(const std::string& ttyRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(ttyRoot, ec);
    if (ec) return {};
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        // Virtual terminals and pseudo-terminals have no device behind them.
        if (!fs::exists(entry / "device", ec)) continue;
        if (IsLegacyUartName(name) && !LegacyUartPresent(entry, "/dev/" + name)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back("/dev/" + name);
    return paths;
}

}  // namespace qtm
