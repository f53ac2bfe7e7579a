#include "service/CsvLog.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "service/CsvContinuation.h"
#include "service/CsvFormat.h"
#include "service/FileTarget.h"

namespace qtm {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);
constexpr std::string_view kJournalExtension = ".csv";
constexpr std::string_view kMarkSuffix = ".saved";

// A LE code unit of bytes at index i.
char16_t UnitAt(std::string_view bytes, std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

template <typename T>
bool ParseField(std::string_view& rest, T& value, bool last) {
    const auto comma = last ? rest.size() : rest.find(',');
    if (comma == std::string_view::npos || comma == 0) return false;
    const std::string_view field = rest.substr(0, comma);
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc{} || ptr != field.data() + field.size()) return false;
    rest.remove_prefix(last ? comma : comma + 1);
    return true;
}

std::optional<MeasurementRecord> ParseRecordLine(std::string_view line) {
    MeasurementRecord record;
    return ParseField(line, record.number, false) && ParseField(line, record.power, false) &&
                   ParseField(line, record.energy, false) && ParseField(line, record.seconds, true)
               ? std::optional(record)
               : std::nullopt;
}

std::string JournalName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    LocalTime(now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return "run-" + std::string(stamp) + "-" + std::to_string(ProcessId());
}

std::filesystem::path MarkOf(const std::filesystem::path& journal) {
    return PathFromUtf8(Utf8Of(journal) + std::string(kMarkSuffix));
}

// The byte-order mark and header line every file of ours opens with.
std::string HeadBytes(std::u16string_view header) {
    std::u16string head;
    head += kByteOrderMark;
    head += header;
    head += kCsvLineEnd;
    return Utf16LeBytes(head);
}

// Cuts the file back to size and writes on from there.
bool TruncateTo(NativeFile& file, std::int64_t size) {
    const int error = file.Truncate(size);
    if (error != 0) errno = error;
    return error == 0;
}

// A file's new name survives a power cut only once its folder is on the disk too.
void SyncFolderOf(const std::filesystem::path& path) {
    SyncFolder(path.has_parent_path() ? Utf8Of(path.parent_path()) : std::string("."));
}

}  // namespace

CsvAppender::~CsvAppender() {
    Close();
}

FileResult CsvAppender::Open(const std::filesystem::path& path, std::u16string_view header,
                             bool lock) {
    Close();
    m_error = {};
    NativeFile file;
    if (const int error = file.Open(Utf8Of(path), kOpenWrite | kOpenCreate); error != 0)
        return m_error = FileErrorOf(error, path);
    auto fail = [&](int error) { return m_error = FileErrorOf(error, path); };
    FileKind kind{};
    std::int64_t length = 0;
    const bool regular = file.Status(&kind, &length) == 0 && kind == FileKind::Regular;
    if (lock) {
        if (const int error = file.LockExclusive(); error != 0) return fail(error);
    }
    if (regular && !TruncateTo(file, 0)) return fail(errno);
    const std::string bytes = HeadBytes(header);
    if (!WriteAll(file, bytes.data(), bytes.size())) {
        const int error = errno;
        // Not even a cut header stays.
        if (regular) TruncateTo(file, 0);
        return fail(error);
    }
    Adopt(std::move(file), path, regular, static_cast<std::int64_t>(bytes.size()));
    if (regular) SyncFolderOf(path);
    return {};
}

FileResult CsvAppender::Continue(const std::filesystem::path& path, const ContinuePlan& plan,
                                 std::u16string_view header) {
    Close(false);
    m_error = {};
    if (plan.verdict != ContinueVerdict::Continue && plan.verdict != ContinueVerdict::Empty)
        return m_error = FileErrorOf(EINVAL, path);
    NativeFile file;
    if (const int error = file.Open(Utf8Of(path), kOpenWrite); error != 0)
        return m_error = FileErrorOf(error, path);
    auto fail = [&](int error) { return m_error = FileErrorOf(error, path); };
    // A line a killed run left cut would run into the first new one.
    auto end = static_cast<std::int64_t>(plan.wholeBytes);
    if (!TruncateTo(file, end)) return fail(errno);
    if (plan.verdict == ContinueVerdict::Empty) {
        const std::string head = HeadBytes(header);
        if (!WriteAll(file, head.data(), head.size())) {
            const int error = errno;
            TruncateTo(file, 0);
            return fail(error);
        }
        end = static_cast<std::int64_t>(head.size());
    }
    Adopt(std::move(file), path, true, end);
    return {};
}

FileResult CsvAppender::StartInPlace(const FileTarget& target, std::u16string_view header) {
    Close(false);
    m_error = {};
    NativeFile file = OpenInPlace(target, &m_error);
    if (!file.IsOpen()) return m_error;
    const std::string head = HeadBytes(header);
    if (!WriteAll(file, head.data(), head.size())) return m_error = FileErrorOf(errno, target.path);
    Adopt(std::move(file), target.path, false, static_cast<std::int64_t>(head.size()));
    return {};
}

void CsvAppender::Adopt(NativeFile&& file, const std::filesystem::path& path, bool regular,
                        std::int64_t size) {
    m_file = std::move(file);
    m_path = path;
    m_regular = regular;
    m_size = size;
    m_rows = 0;
    m_cut = false;
    m_lastSync = std::chrono::steady_clock::now();
}

bool CsvAppender::Append(const MeasurementRecord& record) {
    if (!m_file.IsOpen() || m_cut) return false;
    char16_t line[kMaxCsvLineUnits];
    const std::string bytes = Utf16LeBytes(std::u16string_view(line, AppendCsvLine(line, record)));
    // One write for the whole line: a process killed now leaves the line whole or cut,
    // never mixed with another.
    if (!WriteAll(m_file, bytes.data(), bytes.size())) {
        m_error = FileErrorOf(errno, m_path);
        // Part of the row may have gone in, and the next row would run on from it. A file
        // that cannot be cut back to its last whole row takes no more rows.
        m_cut = !(m_regular && TruncateTo(m_file, m_size));
        return false;
    }
    m_size += static_cast<std::int64_t>(bytes.size());
    ++m_rows;
    // The system has the line, which is all a killed process needs; a power cut needs it
    // on the disk, which costs more, so that is done once a second at most.
    const auto now = std::chrono::steady_clock::now();
    if (m_regular && now - m_lastSync >= kSyncInterval) {
        m_file.SyncData();
        m_lastSync = now;
    }
    return true;
}

bool CsvAppender::MoveTo(const std::filesystem::path& path) {
    if (!m_file.IsOpen()) return false;
    if (const int error = RenameFile(Utf8Of(m_path), Utf8Of(path)); error != 0) {
        m_error = FileErrorOf(error, path);
        return false;
    }
    m_path = path;
    SyncFolderOf(path);
    return true;
}

bool CsvAppender::Sync() {
    if (!m_file.IsOpen()) return false;
    if (const int error = m_regular ? m_file.SyncData() : 0; error != 0) {
        m_error = FileErrorOf(error, m_path);
        return false;
    }
    m_lastSync = std::chrono::steady_clock::now();
    return true;
}

FileResult CsvAppender::CloseSynced() {
    if (!m_file.IsOpen()) return {};
    int error = SyncData(m_file);
    if (const int closed = m_file.Close(); error == 0) error = closed;
    if (error != 0) m_error = FileErrorOf(error, m_path);
    return error != 0 ? m_error : FileResult{};
}

void CsvAppender::Close(bool sync) {
    if (!m_file.IsOpen()) return;
    if (sync && m_regular) m_file.SyncData();
    m_file.Close();
}

std::filesystem::path ProgramDataFolder() {
    return DataFolder();
}

std::filesystem::path JournalFolder() {
    return ProgramDataFolder() / "journal";
}

Journal::Journal(std::filesystem::path folder) : m_folder(std::move(folder)) {}

Journal::~Journal() {
    m_file.Close();
}

FileResult Journal::Start(std::u16string_view header) {
    Finish();
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec) return FileErrorOf(ec.value(), m_folder);
    // Written under a name the start-up search skips and renamed once locked, so the
    // search never takes a journal being born for one that was left behind.
    const std::string name = JournalName();
    std::filesystem::path path;
    for (int n = 0; n < 100; ++n) {
        path =
            m_folder / (name + (n ? "-" + std::to_string(n) : "") + std::string(kJournalExtension));
        if (!std::filesystem::exists(path, ec)) break;
    }
    const std::filesystem::path partial = PathFromUtf8(Utf8Of(path) + ".new");
    if (FileResult opened = m_file.Open(partial, header, true); !opened.Ok()) {
        // The file was made before the disk refused its header.
        RemoveFile(Utf8Of(partial));
        return opened;
    }
    if (!m_file.MoveTo(path)) {
        const FileResult failed = m_file.LastError();
        m_file.Close();
        RemoveFile(Utf8Of(partial));
        return failed;
    }
    return {};
}

bool Journal::CatchUp(std::span<const MeasurementRecord> records) {
    if (!m_file.IsOpen()) return false;
    for (std::size_t i = m_file.Rows(); i < records.size(); ++i) {
        if (!m_file.Append(records[i])) return false;
    }
    return true;
}

void Journal::MarkSaved(std::size_t count, const std::filesystem::path& file) {
    if (!m_file.IsOpen()) return;
    const std::string text = std::to_string(count) + "\n" + Utf8Of(file) + "\n";
    const std::filesystem::path mark = MarkOf(m_file.Path());
    NativeFile out;
    if (out.Open(Utf8Of(mark), kOpenWrite | kOpenCreate | kOpenTruncate) != 0) return;
    // A mark cut short reads as none saved: the next start offers too much, never too little.
    if (WriteAll(out, text.data(), text.size())) out.SyncData();
}

void Journal::Finish() {
    if (!m_file.IsOpen()) return;
    // Removed while still locked, so no search can catch it half gone.
    RemoveJournal(m_file.Path());
    m_file.Close(false);
}

CsvContents ParseCsv(std::string_view bytes) {
    CsvContents contents;
    // The numbering rule needs the line after each one, so each line is judged when the
    // next has been read.
    std::int64_t last = 0;    // the number of the last record taken
    std::int64_t passed = 0;  // lines not taken since
    std::optional<MeasurementRecord> held;
    bool holding = false;
    auto judge = [&](const std::optional<MeasurementRecord>& next) {
        const std::int64_t number = held ? held->number : 0;
        const bool follows = held && number > last && number <= last + 1 + passed;
        const bool confirmed = held && number > last && next && next->number == number + 1;
        if (follows || confirmed) {
            contents.records.push_back(*held);
            last = number;
            passed = 0;
        } else {
            ++contents.badLines;
            ++passed;
        }
    };
    auto take = [&](const std::optional<MeasurementRecord>& line) {
        if (holding) judge(line);
        held = line;
        holding = true;
    };

    const std::size_t units = bytes.size() / 2;  // an odd last byte is part of a cut unit
    std::size_t pos = units > 0 && UnitAt(bytes, 0) == kByteOrderMark ? 1 : 0;
    bool header = true;
    std::string line;
    while (pos < units) {
        std::size_t end = pos;
        while (end + 1 < units &&
               !(UnitAt(bytes, 2 * end) == u'\r' && UnitAt(bytes, 2 * end + 2) == u'\n'))
            ++end;
        const bool ended = end + 1 < units;
        if (!ended) end = units;
        if (header) {
            for (std::size_t u = pos; u < end; ++u)
                contents.header += UnitAt(bytes, 2 * u);
            header = false;
        } else if (!ended) {
            // The line a dying process was writing.
            ++contents.badLines;
            contents.cut = true;
        } else {
            line.clear();
            bool plain = true;
            for (std::size_t u = pos; u < end && plain; ++u) {
                const char16_t unit = UnitAt(bytes, 2 * u);
                plain = unit != 0 && unit <= 0x7F;
                line += static_cast<char>(unit);
            }
            take(plain ? ParseRecordLine(line) : std::nullopt);
        }
        pos = end + 2;
    }
    if (holding) judge(std::nullopt);
    return contents;
}

std::optional<CsvContents> ReadCsvFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 2 || UnitAt(bytes, 0) != kByteOrderMark) return std::nullopt;
    return ParseCsv(bytes);
}

std::vector<std::filesystem::path> UnfinishedJournals(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file(ec) || entry.path().extension() != kJournalExtension) continue;
        NativeFile file;
        // One that cannot even be opened is not ours to write, but the user is told of it.
        if (file.Open(Utf8Of(entry.path()), kOpenRead) != 0) {
            found.push_back(entry.path());
            continue;
        }
        // A journal whose writer is alive is locked; a dead writer's lock went with it.
        if (file.LockExclusive() == 0) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

SavedMark ReadSavedMark(const std::filesystem::path& journal) {
    SavedMark mark;
    std::ifstream in(MarkOf(journal), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t end = text.find('\n');
    if (end == std::string::npos) return mark;
    std::size_t count = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + end, count);
    if (ec != std::errc{} || ptr != text.data() + end) return mark;
    mark.count = count;
    if (const std::size_t fileEnd = text.find('\n', end + 1); fileEnd != std::string::npos)
        mark.file = PathFromUtf8(text.substr(end + 1, fileEnd - end - 1));
    return mark;
}

void RemoveJournal(const std::filesystem::path& journal) {
    RemoveFile(Utf8Of(journal));
    RemoveFile(Utf8Of(MarkOf(journal)));
}

}  // namespace qtm
