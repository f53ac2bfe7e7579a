// Lists the machine's serial ports: on Linux the sysfs tty entries backed by hardware, on
// Windows the ports the registry's serial-port map names. The name rules are shared.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qtm {

inline constexpr const char* kDefaultSysfsTtyRoot = "/sys/class/tty";

// Linux: "/dev/NAME" for every entry of ttyRoot that has a device link, skipping legacy
// ttyS ports whose UART is absent, in natural order. A missing root gives an empty list.
// Windows: the device name of every value of the serial-port map of the registry
// (HKEY_LOCAL_MACHINE, HARDWARE\DEVICEMAP\SERIALCOMM), WindowsDeviceName of its data, in
// the registry's order; ttyRoot is not used.
std::vector<std::string> ListSystemSerialPorts(const std::string& ttyRoot = kDefaultSysfsTtyRoot);

// Natural order: runs of digits compare by value, so ttyS1 < ttyS2 < ttyS10.
bool NaturalLess(const std::string& a, const std::string& b);

// The single digit a name ends with ("ttyUSB3" -> 3, "COM7" -> 7); none for names that
// end in two or more digits ("ttyS10") or in no digit.
std::optional<int> TrailingSingleDigit(const std::string& name);

// The name Windows opens a port by: names longer than four characters (COM10 and above)
// need the "\\.\" device prefix, shorter ones and names that have it stay as they are.
std::string WindowsDeviceName(const std::string& portName);

}  // namespace qtm
