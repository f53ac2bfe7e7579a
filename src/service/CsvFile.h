// Writing the reading buffer to a CSV file the user chose: the whole file goes to a
// temporary file in the same folder first and replaces the target only when complete,
// so a failed or interrupted save never leaves half a file or destroys the old one.
// What is not a regular file (a device, a pipe) is written where it is.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "service/MeasurementRecord.h"
#include "service/platform/NativeFile.h"

namespace qtm {

// Why a file could not be written.
enum class FileErrorKind {
    None,
    Permission,    // the folder or the file may not be written
    DiskFull,      // no space (or quota) left
    NotAFolder,    // part of the folder path is not a folder
    NoSuchFolder,  // the folder does not exist
    IsAFolder,     // the chosen name is a folder
    InUse,         // another program holds the file and will not let it be replaced
    NotOurLog,     // an existing file that is no reading log of this program
    OtherColumns,  // a reading log of ours whose columns are not the run's
    Other,
};

struct FileResult {
    FileErrorKind kind = FileErrorKind::None;
    int error = 0;  // the system's error number
    std::filesystem::path path;

    bool Ok() const { return kind == FileErrorKind::None; }
};

// Maps a system error number met while writing path.
FileResult FileErrorOf(int error, const std::filesystem::path& path);

// One sentence saying why, for the user.
std::string DescribeFileError(const FileResult& result);

// Buffers UTF-16LE code units and writes them to a file in large blocks.
class Utf16Writer {
public:
    explicit Utf16Writer(NativeFile& file, std::size_t bufferUnits = 1 << 19);
    // Appends one record line (flushing the buffer first when it might not fit).
    bool Append(const MeasurementRecord& record);
    bool Append(std::u16string_view text);
    // Writes what is buffered. False (with errno kept in Error()) when a write failed.
    bool Flush();
    int Error() const { return m_error; }

private:
    bool Room(std::size_t units);

    NativeFile& m_file;
    std::u16string m_buffer;
    std::size_t m_used = 0;
    int m_error = 0;
};

// Writes a byte-order mark, header, CR LF and the record lines to target. The old target,
// if any, keeps its permissions. A read-only target is refused, not replaced. Standard
// output ("-"), a device or a FIFO is written in place instead (FileTarget.h).
FileResult WriteCsvFile(const std::filesystem::path& target, std::u16string_view header,
                        std::span<const MeasurementRecord> records);

// Writes the file's bytes to file: 0, or the system's error number.
using FileBody = std::function<int(NativeFile& file)>;

// Writes target the way WriteCsvFile does (a temporary file in the target's folder renamed
// over it when complete, or in place for what is no regular file), with body's bytes.
FileResult WriteFileThrough(const std::filesystem::path& target, const FileBody& body);

// Writes all of data to file, going on after short writes and interruptions. False with the
// system's error number in errno when a write failed.
bool WriteAll(NativeFile& file, const void* data, std::size_t size);

}  // namespace qtm
