#include "device/platform/PortDetails.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace qtm {

namespace fs = std::filesystem;

namespace {

// Pseudo-terminal slaves take these character-device majors (Unix98 ptys).
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;
// A USB device folder is a few levels above its tty: interface, then device.
constexpr int kMaxLevelsUp = 6;

// The first line of a sysfs attribute, without its line end; a control character a
// device put in its strings would break the listing's one line per port.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// The folder holding idVendor and idProduct at or above device, or none.
fs::path UsbDeviceFolder(fs::path device, const fs::path& root) {
    std::error_code ec;
    for (int level = 0; level <= kMaxLevelsUp && !device.empty(); ++level) {
        if (fs::exists(device / "idVendor", ec) && fs::exists(device / "idProduct", ec))
            return device;
        if (device == root || device == device.parent_path()) break;
        device = device.parent_path();
    }
    return {};
}

PortDetails FromTtyEntry(const fs::path& entry, const fs::path& root) {
    PortDetails details;
    std::error_code ec;
    if (!fs::exists(entry / "device", ec)) {
        details.kind = PortKind::Virtual;
        return details;
    }
    const fs::path device = fs::canonical(entry / "device", ec);
    const fs::path usb = ec ? fs::path() : UsbDeviceFolder(device, fs::weakly_canonical(root, ec));
    if (usb.empty()) {
        details.kind = PortKind::Hardware;
        return details;
    }
    details.kind = PortKind::Usb;
    details.vendorId = ReadAttribute(usb / "idVendor");
    details.productId = ReadAttribute(usb / "idProduct");
    details.manufacturer = ReadAttribute(usb / "manufacturer");
    details.product = ReadAttribute(usb / "product");
    details.serialNumber = ReadAttribute(usb / "serial");
    return details;
}

// A path sysfs has no tty entry for, by what is at the path.
PortDetails FromThePath(const std::string& path) {
    PortDetails details;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        details.kind = PortKind::Missing;
    } else if (S_ISCHR(info.st_mode) && major(info.st_rdev) >= kFirstPtyMajor &&
               major(info.st_rdev) <= kLastPtyMajor) {
        details.kind = PortKind::Pseudo;
    } else {
        details.kind = PortKind::NotATerminal;
    }
    return details;
}

}  // namespace

PortDetails ReadPortDetails(const std::string& portPath, const std::string& sysfsRoot) {
    std::error_code ec;
    fs::path path(portPath);
    if (fs::is_symlink(path, ec)) {
        if (const fs::path target = fs::canonical(path, ec); !ec) path = target;
    }
    const std::string name = path.filename().string();
    // Pseudo-terminals are named by number alone ("/dev/pts/3"), which no tty entry is.
    if (path.parent_path() != "/dev/pts" && !name.empty()) {
        const fs::path entry = fs::path(sysfsRoot) / "class" / "tty" / name;
        if (fs::exists(entry, ec)) return FromTtyEntry(entry, sysfsRoot);
    }
    return FromThePath(path.string());
}

}  // namespace qtm
