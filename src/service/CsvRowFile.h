// A CSV file that records are added to where it is: an existing file of this program that
// a new run continues (rows only, numbered on from its last one), or a device, a pipe or
// standard output written in place. A record that cannot be written whole is taken back,
// so the file never ends in a cut row.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "service/CsvFile.h"
#include "service/FileTarget.h"
#include "service/MeasurementRecord.h"

namespace qtm {

// What an existing file is to a run that would continue it.
enum class ContinueVerdict {
    Empty,        // no bytes at all: written as a new file
    Continue,     // a CSV file of this program with the expected header
    NotOurs,      // not a CSV file this program writes
    OtherHeader,  // one of ours, but of another kind of meter
};

struct ContinuePlan {
    ContinueVerdict verdict = ContinueVerdict::NotOurs;
    std::u16string header;        // the file's header line
    std::int32_t lastNumber = 0;  // the number of its last record (0 when it has none)
    std::size_t wholeBytes = 0;   // its length up to the end of the last whole line
};

// Judges the bytes of an existing file against the header the run would write. A cut last
// line (a run that was killed while writing it) is left out of wholeBytes; any other line
// that is not a record makes the file not ours.
ContinuePlan JudgeContinuation(std::string_view bytes, std::u16string_view header);

// Reads path and judges it; nothing (with the reason in *error) when it cannot be read.
std::optional<ContinuePlan> PlanContinuation(const std::filesystem::path& path,
                                             std::u16string_view header, FileResult* error);

// The header line of any model group, for telling a file of this program.
bool IsKnownCsvHeader(std::u16string_view header);

class CsvRowFile {
public:
    CsvRowFile() = default;
    ~CsvRowFile();
    CsvRowFile(const CsvRowFile&) = delete;
    CsvRowFile& operator=(const CsvRowFile&) = delete;

    // Opens an existing file whose plan (made just before) is Continue or Empty; a cut last
    // line is dropped first, and an empty file gets the byte-order mark and header.
    FileResult Continue(const std::filesystem::path& path, const ContinuePlan& plan,
                        std::u16string_view header);
    // Opens an in-place target and writes the byte-order mark and header.
    FileResult StartInPlace(const FileTarget& target, std::u16string_view header);
    // One write per record; false (LastError() says why) when it did not go whole, and
    // the file is then as it was before.
    bool Append(const MeasurementRecord& record);
    // Closes the file once its data is on the disk; the sync's failure, if any.
    FileResult Close();

    bool IsOpen() const { return m_fd >= 0; }
    const FileResult& LastError() const { return m_error; }

private:
    FileResult Fail(int error);

    int m_fd = -1;
    bool m_regular = false;  // a regular file can be cut back; a pipe cannot
    off_t m_end = 0;         // where the last whole line of a regular file ends
    std::filesystem::path m_path;
    FileResult m_error;
    std::chrono::steady_clock::time_point m_lastSync{};
};

}  // namespace qtm
