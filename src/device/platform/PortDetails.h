// What a serial port is, as the usual port listers tell it: for a USB adapter its ids,
// maker, product name and serial number. Read from sysfs on Linux, from the registry's
// serial-port map on Windows; the port itself is never opened.
#pragma once

#include <string>

namespace qtm {

inline constexpr const char* kDefaultSysfsRoot = "/sys";

enum class PortKind {
    Usb,           // a tty whose device sits on a USB device (ttyUSB, ttyACM)
    Hardware,      // a tty of other hardware: a platform or PCI UART
    Virtual,       // a tty without hardware: a virtual console
    Pseudo,        // a pseudo-terminal
    Missing,       // nothing at that path
    NotATerminal,  // something that is no terminal at all
};

struct PortDetails {
    PortKind kind = PortKind::Missing;
    // A USB adapter's, as its device folder gives them; empty when it gives none.
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

// Looks portPath up under sysfsRoot/class/tty (after following a link such as
// /dev/serial/by-id/...); a path sysfs does not know is looked at itself. On Windows: the
// registry entry of the port (a Hardware port whose product is the driver's device name),
// Missing when the registry has none; sysfsRoot is not used.
PortDetails ReadPortDetails(const std::string& portPath,
                            const std::string& sysfsRoot = kDefaultSysfsRoot);

// The details on one line, e.g. "USB 0403:6001  FTDI  FT232R USB UART  serial A50285BI" or
// "serial port".
std::string DescribePortDetails(const PortDetails& details);

}  // namespace qtm
