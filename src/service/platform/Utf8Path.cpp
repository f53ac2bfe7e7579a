// Paths to and from UTF-8 text. u8string() and a path made of a u8string convert on Windows
// and leave the bytes as they are on Linux.
#include "service/platform/NativeFile.h"

namespace qtm {

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace qtm
