// The data command of qtm200cli: downloading the meter's stored readings (import), printed
// or written to a CSV file.
#pragma once

#include <string>

#include "cli/CliCommands.h"

namespace qtm::cli {

// import [--csv FILE]: the stored count, then the pages; one "N VALUE" line per reading or
// the CSV file. The file's place is checked before the first page is asked for; an import
// that is not complete leaves FILE as it was and writes what came to FILE.partial. Status
// 1 when any reading is missing.
int ImportStoredRecords(CommandContext& context);

// "N VALUE": a reading as the reading list shows it.
std::string FormatImportLine(int number, float value);

}  // namespace qtm::cli
