#include "device/platform/SystemPorts.h"

#include <cctype>

namespace qtm {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ie = i;
            std::size_t je = j;
            while (ie < a.size() && IsDigit(a[ie]))
                ++ie;
            while (je < b.size() && IsDigit(b[je]))
                ++je;
            // Compare by value without overflowing: drop leading zeros, then by length.
            std::size_t ia = i;
            std::size_t jb = j;
            while (ia + 1 < ie && a[ia] == '0')
                ++ia;
            while (jb + 1 < je && b[jb] == '0')
                ++jb;
            if (ie - ia != je - jb) return ie - ia < je - jb;
            const int cmp = a.compare(ia, ie - ia, b, jb, je - jb);
            if (cmp != 0) return cmp < 0;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    return a < b;  // "ttyS01" and "ttyS1": any fixed order will do
}

std::optional<int> TrailingSingleDigit(const std::string& name) {
    if (name.empty() || !IsDigit(name.back())) return std::nullopt;
    if (name.size() >= 2 && IsDigit(name[name.size() - 2])) return std::nullopt;
    return name.back() - '0';
}

std::string WindowsDeviceName(const std::string& portName) {
    if (portName.size() <= 4 || portName.rfind("\\\\", 0) == 0) return portName;
    return "\\\\.\\" + portName;
}

}  // namespace qtm
