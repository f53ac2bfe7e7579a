#include "device/platform/WinWideText.h"

#include <windows.h>

#include <climits>
#include <cstddef>

namespace qtm {

bool WideFromUtf8(std::string_view text, std::wstring* out) {
    out->clear();
    if (text.empty()) return true;
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int size = static_cast<int>(text.size());
    const int units =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units <= 0) return false;
    out->resize(static_cast<std::size_t>(units));
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, out->data(),
                              units) == units)
        return true;
    out->clear();
    return false;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring wide;
    WideFromUtf8(text, &wide);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int units = static_cast<int>(wide.size());
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, text.data(), size, nullptr, nullptr);
    return text;
}

}  // namespace qtm
