#include "service/CsvRowFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "service/CsvFormat.h"
#include "service/CsvLog.h"

namespace qtm {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);
constexpr ModelGroup kGroups[] = {
    ModelGroup::PPFD,     ModelGroup::Luminance, ModelGroup::CIL,        ModelGroup::LuminousFlux,
    ModelGroup::Infrared, ModelGroup::Blue,      ModelGroup::Red,        ModelGroup::PAR,
    ModelGroup::UV,       ModelGroup::UVx,       ModelGroup::LaserPower, ModelGroup::Illuminance,
};

char16_t UnitAt(std::string_view bytes, std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

// The byte length up to the end of the last CR LF, or 0 when there is none.
std::size_t WholeLinesEnd(std::string_view bytes) {
    for (std::size_t at = bytes.size() & ~std::size_t{1}; at >= 4; at -= 2) {
        if (UnitAt(bytes, at - 4) == u'\r' && UnitAt(bytes, at - 2) == u'\n') return at;
    }
    return 0;
}

std::string HeadBytes(std::u16string_view header) {
    std::u16string head;
    head += kByteOrderMark;
    head += header;
    head += kCsvLineEnd;
    return Utf16LeBytes(head);
}

}  // namespace

bool IsKnownCsvHeader(std::u16string_view header) {
    for (const ModelGroup group : kGroups)
        if (CsvHeader(group) == header) return true;
    return false;
}

ContinuePlan JudgeContinuation(std::string_view bytes, std::u16string_view header) {
    ContinuePlan plan;
    if (bytes.empty()) {
        plan.verdict = ContinueVerdict::Empty;
        return plan;
    }
    if (bytes.size() < 2 || UnitAt(bytes, 0) != kByteOrderMark) return plan;
    plan.wholeBytes = WholeLinesEnd(bytes);
    if (plan.wholeBytes == 0) return plan;  // not even a whole header line
    const CsvContents contents = ParseCsv(bytes.substr(0, plan.wholeBytes));
    if (contents.badLines != 0 || !IsKnownCsvHeader(contents.header)) return plan;
    plan.header = contents.header;
    if (!contents.records.empty()) plan.lastNumber = contents.records.back().number;
    plan.verdict =
        contents.header == header ? ContinueVerdict::Continue : ContinueVerdict::OtherHeader;
    return plan;
}

std::optional<ContinuePlan> PlanContinuation(const std::filesystem::path& path,
                                             std::u16string_view header, FileResult* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = FileErrorOf(errno != 0 ? errno : EIO, path);
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        if (error) *error = FileErrorOf(EIO, path);
        return std::nullopt;
    }
    return JudgeContinuation(bytes, header);
}

CsvRowFile::~CsvRowFile() {
    Close();
}

FileResult CsvRowFile::Fail(int error) {
    m_error = FileErrorOf(error, m_path);
    return m_error;
}

FileResult CsvRowFile::Continue(const std::filesystem::path& path, const ContinuePlan& plan,
                                std::u16string_view header) {
    Close();
    m_path = path;
    m_error = {};
    if (plan.verdict != ContinueVerdict::Continue && plan.verdict != ContinueVerdict::Empty)
        return Fail(EINVAL);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    m_fd = fd;
    m_regular = true;
    // A line a killed run left cut would run into the first new one.
    m_end = static_cast<off_t>(plan.wholeBytes);
    if (::ftruncate(fd, m_end) != 0 || ::lseek(fd, m_end, SEEK_SET) < 0) {
        const int error = errno;
        ::close(fd);
        m_fd = -1;
        return Fail(error);
    }
    m_lastSync = std::chrono::steady_clock::now();
    if (plan.verdict == ContinueVerdict::Empty) {
        const std::string head = HeadBytes(header);
        if (!WriteAll(fd, head.data(), head.size())) {
            const int error = errno;
            ::ftruncate(fd, 0);
            ::close(fd);
            m_fd = -1;
            return Fail(error);
        }
        m_end = static_cast<off_t>(head.size());
    }
    return {};
}

FileResult CsvRowFile::StartInPlace(const FileTarget& target, std::u16string_view header) {
    Close();
    m_path = target.path;
    m_error = {};
    const int fd = OpenInPlace(target, &m_error);
    if (fd < 0) return m_error;
    m_fd = fd;
    m_regular = false;
    m_lastSync = std::chrono::steady_clock::now();
    const std::string head = HeadBytes(header);
    if (!WriteAll(fd, head.data(), head.size())) {
        const int error = errno;
        ::close(fd);
        m_fd = -1;
        return Fail(error);
    }
    return {};
}

bool CsvRowFile::Append(const MeasurementRecord& record) {
    if (m_fd < 0) return false;
    char16_t line[kMaxCsvLineUnits];
    const std::string bytes = Utf16LeBytes(std::u16string_view(line, AppendCsvLine(line, record)));
    if (!WriteAll(m_fd, bytes.data(), bytes.size())) {
        const int error = errno;
        // Part of the line may be in the file (a disk that filled up half way): cut back
        // to the last whole line, so what is there stays a file of whole records.
        if (m_regular && ::ftruncate(m_fd, m_end) == 0) ::lseek(m_fd, m_end, SEEK_SET);
        Fail(error);
        return false;
    }
    m_end += static_cast<off_t>(bytes.size());
    // As the appender does: a killed process needs the line in the system, which it is; a
    // power cut needs it on the disk, which costs more, so once a second.
    const auto now = std::chrono::steady_clock::now();
    if (m_regular && now - m_lastSync >= kSyncInterval) {
        ::fdatasync(m_fd);
        m_lastSync = now;
    }
    return true;
}

FileResult CsvRowFile::Close() {
    if (m_fd < 0) return {};
    int error = SyncData(m_fd);
    if (::close(m_fd) != 0 && error == 0 && errno != EINTR) error = errno;
    m_fd = -1;
    if (error != 0) return Fail(error);
    return {};
}

}  // namespace qtm
