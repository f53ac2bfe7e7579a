// The data commands of qtm200cli: downloading the meter's stored readings (import) and
// the CSV file a live run writes as it goes (live --csv).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli/CliCommands.h"
#include "service/MeasurementRecord.h"

namespace qtm {
class CsvAppender;
}

namespace qtm::cli {

// import [--csv FILE]: the stored count, then the pages; one "N VALUE" line per reading or
// the CSV file. Status 1 when any page could not be read.
int ImportStoredRecords(CommandContext& context);

// "N VALUE": a reading as the reading list shows it.
std::string FormatImportLine(int number, float value);

// The --csv file of a live run: created with the model's header before the first pass,
// then one record per reading, each in the file before the next pass starts.
class LiveCsvLog {
public:
    LiveCsvLog();
    ~LiveCsvLog();
    // Opens the file when --csv was given; false after telling the user why it failed.
    bool Open(CommandContext& context, std::string_view model);
    // Adds the next record; a failing write is reported once.
    void Add(CommandContext& context, float power, double energy, float seconds);
    // False when a record could not be written.
    bool Ok() const { return m_ok; }

private:
    std::unique_ptr<CsvAppender> m_file;
    std::int32_t m_number = 0;
    bool m_ok = true;
};

}  // namespace qtm::cli
