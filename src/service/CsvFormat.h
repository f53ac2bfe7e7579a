// The CSV text of the reading buffer: the header line of each model group and the record
// lines "%d,%f,%f,%f" as UTF-16 code units with CR LF ends, six decimals and a point
// whatever the user's locale. Pure functions; the file writers build on them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "service/MeasurementRecord.h"
#include "service/ModelCatalog.h"

namespace qtm {

inline constexpr char16_t kByteOrderMark = 0xFEFF;
inline constexpr std::u16string_view kCsvLineEnd = u"\r\n";

// The longest record line in code units (a number, three of the widest fixed-point
// doubles printf can give, the commas and the line end), rounded up.
inline constexpr std::size_t kMaxCsvLineUnits = 440;

// The header line of a group, without its line end.
std::u16string_view CsvHeader(ModelGroup group);
inline std::u16string_view CsvHeaderOfModel(std::string_view model) {
    return CsvHeader(GroupOfModel(model));
}

// Writes "%.6f" of value (C rules) at out as ASCII; returns the end. Needs 330 chars.
char* FormatFixed6(char* out, double value);

// Writes one record line, line end included, at out; returns the end. Needs
// kMaxCsvLineUnits free code units.
char16_t* AppendCsvLine(char16_t* out, const MeasurementRecord& record);

// The whole file's text: byte-order mark, header, line end, one line per record.
std::u16string CsvText(std::u16string_view header, std::span<const MeasurementRecord> records);

// The text as the bytes of a UTF-16LE file.
std::string Utf16LeBytes(std::u16string_view text);

}  // namespace qtm
