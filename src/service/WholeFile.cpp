#include "service/WholeFile.h"

#include <cerrno>

namespace qtm {

FileResult WriteWholeFile(const std::filesystem::path& target, std::string_view bytes) {
    return WriteFileThrough(target, [bytes](NativeFile& file) {
        return WriteAll(file, bytes.data(), bytes.size()) ? 0 : errno;
    });
}

}  // namespace qtm
