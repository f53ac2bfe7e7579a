// live: a run on either link, timed by --count, --duration, --interval and --average, its
// readings handed to the outputs as they come, and its clean end on SIGINT or SIGTERM.
#pragma once

#include "cli/CliCommands.h"

namespace qtm::cli {

int RunLive(CommandContext& context);

}  // namespace qtm::cli
