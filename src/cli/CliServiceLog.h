// The service-log line of each write qtm200cli makes to a meter, with the values the backup
// taken just before it read.
#pragma once

#include <optional>
#include <string>

#include "cli/CliCommands.h"
#include "service/ParameterBackup.h"
#include "service/WriteLog.h"

namespace qtm::cli {

// One write: the parameter's name in the log, the value before it (a JSON value, when it
// was read) and the value written (a JSON value).
struct CliWrite {
    std::string parameter;
    std::optional<std::string> old;
    std::string value;
};

// The service log of this run's writes to the meter whose parameters were just read.
WriteLog LogFor(const CommandContext& c, const std::optional<MeterParameters>& meter);
// Tells on stderr that a line could not be written (the write itself stands).
void WarnIfNotLogged(CommandContext& c, const WriteLog& log);

// Logs the write and gives the command's status: 0 when ok, otherwise 1 after printing
// failure. A log that cannot be written is told but does not change the status: the
// meter's state is what it is.
int LoggedOutcome(CommandContext& c, const std::optional<MeterParameters>& before,
                  const CliWrite& write, bool ok, const std::string& failure);

}  // namespace qtm::cli
