// The window's "Save with details…": the buffered readings as the self-describing UTF-8
// reading file (byte-order mark, "# key: value" lines, the reading object's columns), so
// the reader of the CLI's files takes it as it is.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "service/CsvFile.h"
#include "service/MeasurementRecord.h"
#include "service/ReadingDetails.h"
#include "service/ReadingLog.h"
#include "service/ReadingObject.h"

namespace qtm {

// Everything the file is made of, copied from the window so it can be written elsewhere.
struct DetailedReadings {
    LogMetadata metadata;
    std::string serial;  // each row's serial column; empty when not known whole
    ReadingUnits units;
    std::vector<MeasurementRecord> records;
    ReadingDetails details{0};  // index for index with records
};

// The columns of the readings' sources: live USB, live bus or import. Readings of both
// links in one buffer (the link was changed between runs) get the columns both have, so no
// row carries a value its link never reported.
ReadingColumns DetailedColumns(const ReadingDetails& details);

// The reading object of one buffered reading.
ReadingObject DetailedReading(const MeasurementRecord& record, const ReadingDetail& detail,
                              ReadingUnits units, const std::string& serial);

// The whole file as text.
std::string DetailedReadingText(const DetailedReadings& readings);

// Writes the file as every file of ours is written (CsvFile.h), rows in large blocks, so a
// million readings never sit in memory as text at once.
FileResult WriteDetailedReadings(const std::filesystem::path& target,
                                 const DetailedReadings& readings);

}  // namespace qtm
