#include "service/ReadingLog.h"

#include <algorithm>
#include <cerrno>

#include "service/FileTarget.h"

namespace qtm {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr auto kSyncInterval = std::chrono::seconds(1);
// How much of an existing file is read to find its preamble, and of its end to find a cut
// row: far more than any preamble or row of ours.
constexpr std::size_t kHeadBytes = 1 << 20;
constexpr std::size_t kTailBytes = 1 << 16;

std::string Cleaned(std::string_view text, bool key) {
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
        else if (key && c == ':')
            c = '-';
    }
    return out;
}

// Reads up to size bytes of file from offset; what could be read.
std::string ReadAt(NativeFile& file, std::int64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        std::size_t n = 0;
        const int error = file.ReadAt(offset + static_cast<std::int64_t>(got), bytes.data() + got,
                                      size - got, &n);
        if (error != 0 || n == 0) break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

// Whether line (CR LF included) is a column header we could have written.
bool IsColumnHeader(std::string_view line) {
    if (!line.ends_with("\r\n")) return false;
    line.remove_suffix(2);
    while (true) {
        const auto comma = line.find(',');
        if (!ReadingFieldOfKey(line.substr(0, comma))) return false;
        if (comma == std::string_view::npos) return true;
        line.remove_prefix(comma + 1);
    }
}

// Best effort: when even this fails the file keeps the cut bytes, and its reader reports them.
void CutBackTo(NativeFile& file, std::int64_t size) {
    file.Truncate(size);
}

// Whether head, the start of an existing file, is a log of ours and has header (CR LF
// included) for its column line.
FileErrorKind JudgeHead(std::string_view head, std::string_view header) {
    if (!head.starts_with(kByteOrderMark)) return FileErrorKind::NotOurLog;
    std::size_t at = kByteOrderMark.size();
    while (at < head.size()) {
        const auto end = head.find('\n', at);
        if (end == std::string_view::npos) return FileErrorKind::NotOurLog;
        const std::string_view line = head.substr(at, end + 1 - at);
        if (line.front() != '#') {
            if (line == header) return FileErrorKind::None;
            // A line of keys we never write means the file is something else that happens
            // to start the same way.
            return IsColumnHeader(line) ? FileErrorKind::OtherColumns : FileErrorKind::NotOurLog;
        }
        at = end + 1;
    }
    return FileErrorKind::NotOurLog;
}

// A new file's name survives a power cut only once its folder is on the disk too.
void SyncFolderOf(const std::filesystem::path& path) {
    SyncFolder(path.has_parent_path() ? Utf8Of(path.parent_path()) : std::string("."));
}

FileResult Refusal(FileErrorKind kind, const std::string& name) {
    FileResult result;
    result.kind = kind;
    result.path = name;
    return result;
}

}  // namespace

LogMetadata& LogMetadata::Add(std::string_view key, std::string_view value) {
    if (!value.empty()) m_entries.emplace_back(Cleaned(key, true), Cleaned(value, false));
    return *this;
}

std::string ReadingLogPreamble(const LogMetadata& metadata, ReadingColumns columns) {
    std::string text(kByteOrderMark);
    for (const auto& [key, value] : metadata.Entries()) {
        text += "# ";
        text += key;
        text += ": ";
        text += value;
        text += "\r\n";
    }
    text += ReadingCsvHeader(columns);
    return text;
}

std::string ExpandLogName(std::string_view pattern, const std::tm& local) {
    if (pattern == "-" || pattern.empty()) return std::string(pattern);
    const std::string format(pattern);
    std::string name;
    // strftime says 0 both for "did not fit" and for an empty result, so the room grows a
    // few times before the result is taken as empty.
    for (std::size_t room = format.size() * 4 + 64; room <= (1u << 16); room *= 4) {
        name.resize(room);
        const std::size_t n = std::strftime(name.data(), room, format.c_str(), &local);
        if (n > 0) {
            name.resize(n);
            return name;
        }
    }
    return {};
}

ReadingLogWriter::ReadingLogWriter(std::string pattern, LogMetadata metadata,
                                   ReadingColumns columns, Clock clock)
    : m_pattern(std::move(pattern)),
      m_metadata(std::move(metadata)),
      m_columns(columns),
      m_clock(std::move(clock)),
      m_header(ReadingCsvHeader(columns)) {}

ReadingLogWriter::~ReadingLogWriter() {
    Close();
}

const std::string& ReadingLogWriter::NameFor(std::chrono::system_clock::time_point now) {
    const std::time_t second = std::chrono::system_clock::to_time_t(now);
    if (second != m_nameSecond) {
        std::tm local{};
        LocalTime(second, &local);
        m_name = ExpandLogName(m_pattern, local);
        m_nameSecond = second;
    }
    return m_name;
}

FileResult ReadingLogWriter::Open() {
    if (m_file.IsOpen()) return {};
    return OpenFile(NameFor(m_clock()));
}

FileResult ReadingLogWriter::OpenFile(const std::string& name) {
    if (name.empty()) return FileErrorOf(ENOENT, m_pattern);
    const FileTarget target = ResolveFileTarget(PathFromUtf8(name));
    if (target.kind == TargetKind::InPlace) {
        FileResult error;
        m_file = OpenInPlace(target, &error);
        if (!m_file.IsOpen()) return FileErrorOf(error.error, name);
        m_regular = false;
        m_path = name;
        m_rows = 0;
        const std::string preamble = ReadingLogPreamble(m_metadata, m_columns);
        if (!WriteAll(m_file, preamble.data(), preamble.size())) {
            const int failed = errno;
            m_file.Close();
            return FileErrorOf(failed, name);
        }
        return {};
    }
    // Appending: every row lands at the end, whatever else has the file open.
    NativeFile file;
    if (const int error =
            file.Open(Utf8Of(target.path), kOpenRead | kOpenWrite | kOpenCreate | kOpenAppend);
        error != 0)
        return FileErrorOf(error, name);
    return OpenRegular(name, target.path, file);
}

FileResult ReadingLogWriter::OpenRegular(const std::string& name, const std::filesystem::path& path,
                                         NativeFile& file) {
    FileKind fileKind{};
    std::int64_t length = 0;
    if (const int error = file.Status(&fileKind, &length); error != 0)
        return FileErrorOf(error, name);
    const bool regular = fileKind == FileKind::Regular;
    std::int64_t size = regular ? length : 0;
    if (size > 0) {
        const std::string head =
            ReadAt(file, 0, static_cast<std::size_t>(std::min<std::int64_t>(kHeadBytes, size)));
        if (const FileErrorKind kind = JudgeHead(head, m_header); kind != FileErrorKind::None)
            return Refusal(kind, name);
        // A row cut by a full disk in an earlier run would run into the first new one; it is
        // dropped back to the last line end (the header's at the least).
        const auto tailSize = static_cast<std::size_t>(std::min<std::int64_t>(kTailBytes, size));
        const std::string tail = ReadAt(file, size - static_cast<std::int64_t>(tailSize), tailSize);
        if (tail.size() != tailSize) return FileErrorOf(EIO, name);
        if (!tail.ends_with('\n')) {
            const auto lastEnd = tail.rfind('\n');
            if (lastEnd == std::string::npos) return Refusal(FileErrorKind::NotOurLog, name);
            const std::int64_t whole = size - static_cast<std::int64_t>(tailSize - lastEnd - 1);
            if (const int error = file.Truncate(whole); error != 0) return FileErrorOf(error, name);
            size = whole;
        }
    } else {
        const std::string preamble = ReadingLogPreamble(m_metadata, m_columns);
        if (!WriteAll(file, preamble.data(), preamble.size())) {
            const int failed = errno;
            // Not even a cut preamble stays.
            if (regular) CutBackTo(file, 0);
            return FileErrorOf(failed, name);
        }
        size = static_cast<std::int64_t>(preamble.size());
        if (regular) SyncFolderOf(path);
    }
    m_file = std::move(file);
    m_regular = regular;
    m_size = size;
    m_rows = 0;
    m_path = name;
    m_lastSync = std::chrono::steady_clock::now();
    return {};
}

FileResult ReadingLogWriter::Append(const ReadingObject& reading) {
    const std::string& name = NameFor(m_clock());
    FileResult closed;
    if (m_file.IsOpen() && name != m_path) closed = Close();
    if (!m_file.IsOpen()) {
        if (FileResult opened = OpenFile(name); !opened.Ok()) return opened;
    }
    m_row.clear();
    AppendReadingCsv(m_row, m_columns, reading);
    // One write for the whole row: a process killed now leaves it whole or not at all.
    if (!WriteAll(m_file, m_row.data(), m_row.size())) {
        const int failed = errno;
        // A full disk may have taken part of the row; the next row must not run on from it.
        if (m_regular) CutBackTo(m_file, m_size);
        return FileErrorOf(failed, m_path);
    }
    m_size += static_cast<std::int64_t>(m_row.size());
    ++m_rows;
    // The system has the row, which is all a killed process needs; a power cut needs it on
    // the disk, which costs more, so that is done once a second at most.
    const auto now = std::chrono::steady_clock::now();
    if (m_regular && now - m_lastSync >= kSyncInterval) {
        m_file.SyncData();
        m_lastSync = now;
    }
    return closed;
}

FileResult ReadingLogWriter::Close() {
    if (!m_file.IsOpen()) return {};
    int error = SyncData(m_file);
    if (const int closed = m_file.Close(); error == 0) error = closed;
    return FileErrorOf(error, m_path);
}

}  // namespace qtm
