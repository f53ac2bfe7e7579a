// Writing a file the user chose in one piece (a picture, a document made in memory): the
// bytes go to a temporary file in the same folder, reach the disk, and only then replace the
// target, so a failed write never leaves half a file or destroys the old one. A device or a
// pipe is written where it is (FileTarget.h).
#pragma once

#include <filesystem>
#include <string_view>

#include "service/CsvFile.h"

namespace qtm {

// Writes bytes to target. An existing target keeps its permissions; a read-only one is
// refused, not replaced.
FileResult WriteWholeFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace qtm
