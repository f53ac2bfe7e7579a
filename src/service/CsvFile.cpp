#include "service/CsvFile.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>

#include "service/CsvFormat.h"
#include "service/FileTarget.h"

namespace qtm {
namespace {

std::atomic<unsigned> g_tempCounter{0};

// A name in the target's folder that no one else uses: hidden, and tagged with the
// process and a counter so two saves never share it.
std::filesystem::path TempNameFor(const std::filesystem::path& target, unsigned attempt) {
    const std::string name = "." + Utf8Of(target.filename()) + ".part-" +
                             std::to_string(ProcessId()) + "-" +
                             std::to_string(g_tempCounter.fetch_add(1) + attempt);
    return target.parent_path() / PathFromUtf8(name);
}

// The byte-order mark, header, line end and record lines, through one buffered writer.
// 0 or the system's error number.
int WriteCsvText(NativeFile& file, std::u16string_view header,
                 std::span<const MeasurementRecord> records) {
    Utf16Writer writer(file);
    bool ok = writer.Append(std::u16string_view(&kByteOrderMark, 1)) && writer.Append(header) &&
              writer.Append(kCsvLineEnd);
    for (std::size_t i = 0; ok && i < records.size(); ++i)
        ok = writer.Append(records[i]);
    ok = ok && writer.Flush();
    return ok ? 0 : writer.Error();
}

FileResult WriteInPlace(const FileTarget& target, const FileBody& body) {
    FileResult opened;
    NativeFile file = OpenInPlace(target, &opened);
    if (!file.IsOpen()) return opened;
    int error = body(file);
    if (error == 0) error = SyncData(file);
    if (const int closed = file.Close(); error == 0) error = closed;
    return FileErrorOf(error, target.path);
}

}  // namespace

FileResult FileErrorOf(int error, const std::filesystem::path& path) {
    FileResult result;
    result.error = error;
    result.path = path;
    switch (error) {
        case 0:
            result.kind = FileErrorKind::None;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            result.kind = FileErrorKind::Permission;
            break;
        case ENOSPC:
#ifdef EDQUOT  // no quotas on Windows
        case EDQUOT:
#endif
        case EFBIG:
            result.kind = FileErrorKind::DiskFull;
            break;
        case ENOTDIR:
            result.kind = FileErrorKind::NotAFolder;
            break;
        case ENOENT:
            result.kind = FileErrorKind::NoSuchFolder;
            break;
        case EISDIR:
            result.kind = FileErrorKind::IsAFolder;
            break;
        case EBUSY:
        case EWOULDBLOCK:  // a lock that another program holds
            result.kind = FileErrorKind::InUse;
            break;
        default:
            result.kind = FileErrorKind::Other;
            break;
    }
    return result;
}

std::string DescribeFileError(const FileResult& result) {
    const std::string path = Utf8Of(result.path);
    switch (result.kind) {
        case FileErrorKind::None:
            return {};
        case FileErrorKind::Permission:
            return result.error == EROFS ? path + " is on a read-only disk."
                                         : "No permission to write " + path + ".";
        case FileErrorKind::DiskFull:
            return "The disk is full: " + path + " could not be written.";
        case FileErrorKind::NotAFolder:
            return path + " is not a folder.";
        case FileErrorKind::NoSuchFolder:
            return "The folder " + path + " does not exist.";
        case FileErrorKind::IsAFolder:
            return path + " is a folder.";
        case FileErrorKind::InUse:
            return path + " is open in another program: close it there and try again.";
        case FileErrorKind::NotOurLog:
            return path + " is not a reading log of this program, so no readings are added to it.";
        case FileErrorKind::OtherColumns:
            return path +
                   " is a reading log with other columns, so this run's readings are not added "
                   "to it.";
        case FileErrorKind::Other:
            break;
    }
    return path + " could not be written: " + std::strerror(result.error) + ".";
}

bool WriteAll(NativeFile& file, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t n = 0;
        if (const int error = file.Write(p, size, &n); error != 0) {
            errno = error;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

Utf16Writer::Utf16Writer(NativeFile& file, std::size_t bufferUnits)
    : m_file(file), m_buffer(std::max(bufferUnits, 2 * kMaxCsvLineUnits), u'\0') {}

bool Utf16Writer::Room(std::size_t units) {
    if (m_buffer.size() - m_used >= units) return true;
    return Flush();
}

bool Utf16Writer::Append(const MeasurementRecord& record) {
    if (!Room(kMaxCsvLineUnits)) return false;
    char16_t* start = m_buffer.data() + m_used;
    m_used += static_cast<std::size_t>(AppendCsvLine(start, record) - start);
    return true;
}

bool Utf16Writer::Append(std::u16string_view text) {
    while (!text.empty()) {
        if (!Room(1)) return false;
        const std::size_t n = std::min(text.size(), m_buffer.size() - m_used);
        text.copy(m_buffer.data() + m_used, n);
        m_used += n;
        text.remove_prefix(n);
    }
    return true;
}

bool Utf16Writer::Flush() {
    if (m_error != 0) return false;
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < m_used; ++i)
            m_buffer[i] = static_cast<char16_t>((m_buffer[i] << 8) | (m_buffer[i] >> 8));
    }
    const bool ok = WriteAll(m_file, m_buffer.data(), m_used * sizeof(char16_t));
    m_used = 0;
    if (!ok) m_error = errno;
    return ok;
}

FileResult WriteCsvFile(const std::filesystem::path& chosen, std::u16string_view header,
                        std::span<const MeasurementRecord> records) {
    return WriteFileThrough(chosen,
                            [&](NativeFile& file) { return WriteCsvText(file, header, records); });
}

FileResult WriteFileThrough(const std::filesystem::path& chosen, const FileBody& body) {
    const FileTarget resolved = ResolveFileTarget(chosen);
    if (FileResult check = CheckFileTarget(resolved); !check.Ok()) return check;
    if (resolved.kind == TargetKind::InPlace) return WriteInPlace(resolved, body);
    const std::filesystem::path& target = resolved.path;

    std::filesystem::path temp;
    NativeFile file;
    for (unsigned attempt = 0; attempt < 100 && !file.IsOpen(); ++attempt) {
        temp = TempNameFor(target, attempt);
        // 0666 less the user's umask, as any new file of theirs.
        const int error = file.Open(Utf8Of(temp), kOpenWrite | kOpenCreate | kOpenExclusive);
        if (error != 0 && error != EEXIST) {
            // Without the right to create a file there, the folder is what the user must change.
            const bool folderRefused =
                (error == EACCES || error == EPERM) && target.has_parent_path();
            return FileErrorOf(error, folderRefused ? target.parent_path() : target);
        }
    }
    if (!file.IsOpen()) return FileErrorOf(EEXIST, target);

    file.TakePermissionsOf(Utf8Of(target));

    int error = body(file);
    // The data must be on the disk before the name points at it, or a power cut right
    // after the rename could leave an empty file where the old one was.
    if (error == 0) error = file.SyncData();
    if (const int closed = file.Close(); error == 0) error = closed;
    if (error == 0) error = RenameFile(Utf8Of(temp), Utf8Of(target));
    if (error != 0) {
        RemoveFile(Utf8Of(temp));
        return FileErrorOf(error, target);
    }
    // The new name itself lives in the folder: synced too, so the file a complete import
    // reported is the one found after a power cut.
    SyncFolder(target.has_parent_path() ? Utf8Of(target.parent_path()) : std::string("."));
    return {};
}

}  // namespace qtm
