// The --csv file of a live run: one record per reading, each in the file before the next
// pass starts. An existing file is continued (--append) or replaced (--overwrite), never
// emptied unasked; "-", a device or a pipe is written in place.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "cli/CliCommands.h"
#include "service/CsvContinuation.h"
#include "service/FileTarget.h"

namespace qtm {
class CsvAppender;
}

namespace qtm::cli {

class LiveCsvLog {
public:
    LiveCsvLog();
    ~LiveCsvLog();

    // Before anything is sent to the meter: refuses an existing file that neither --append
    // nor --overwrite allows, or one --append cannot continue. False after telling the user.
    bool Check(CommandContext& context);
    // Opens the file for the model's header; false after telling the user why it failed.
    bool Open(CommandContext& context, std::string_view model);
    // Adds the next record. False after telling the user that it could not be written
    // (which leaves no cut row): the run stops there.
    bool Add(CommandContext& context, int pass, float power, double energy, float seconds);
    // Closes the file once its data is on the disk; false after telling the user.
    bool Finish(CommandContext& context);

    // False when a record or the file's end could not be written.
    bool Ok() const { return m_ok; }
    // The file is standard output, so the pass lines go to standard error instead.
    bool OnStandardOutput() const { return m_target.ownFd == 1; }

private:
    FileTarget m_target;
    bool m_continue = false;  // an existing file of ours is continued
    std::unique_ptr<CsvAppender> m_file;
    std::int32_t m_number = 0;
    bool m_ok = true;
};

}  // namespace qtm::cli
