// Lists the machine's serial ports from sysfs: the tty entries backed by hardware.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qtm {

inline constexpr const char* kDefaultSysfsTtyRoot = "/sys/class/tty";

// "/dev/NAME" for every entry of ttyRoot that has a device link, skipping legacy ttyS
// ports whose UART is absent, in natural order. A missing root gives an empty list.
std::vector<std::string> ListSystemSerialPorts(const std::string& ttyRoot = kDefaultSysfsTtyRoot);

// Natural order: runs of digits compare by value, so ttyS1 < ttyS2 < ttyS10.
bool NaturalLess(const std::string& a, const std::string& b);

// The single digit a name ends with ("ttyUSB3" -> 3, "COM7" -> 7); none for names that
// end in two or more digits ("ttyS10") or in no digit.
std::optional<int> TrailingSingleDigit(const std::string& name);

}  // namespace qtm
