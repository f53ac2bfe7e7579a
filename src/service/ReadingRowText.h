// The texts of one row of the reading list, made from a buffered record when the list
// asks for them, so a million rows cost no more memory than their records.
#pragma once

#include <string>

#include "service/MeasurementRecord.h"

namespace qtm {

// Where a row came from: a live pass lists its energy and time, an import of the meter's
// stored readings has neither and shows "0" in both columns.
enum class RowOrigin { Live, Imported };

inline constexpr int kListColumns = 4;

// Column 0 the reading number; 1 the power as a plain reading; 2 the energy, with one
// decimal above 100000 and as a plain reading in single precision otherwise; 3 the time in
// seconds with one decimal. Always with a decimal point. Empty for a column out of range.
std::string ReadingCellText(const MeasurementRecord& record, RowOrigin origin, int column);

}  // namespace qtm
