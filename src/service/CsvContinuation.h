// Whether an existing CSV file may be continued by a new run (rows only, numbered on from its
// last one): a file of this program with the header the run would write. CsvAppender then
// adds the rows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "service/CsvFile.h"

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

}  // namespace qtm
