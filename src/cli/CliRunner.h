// Runs one qtm200cli command line: sets up the link (and the simulated meter when
// asked), runs the command and writes its lines to out and its complaints to err.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/LiveClock.h"

namespace qtm {
struct PortError;
}

namespace qtm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What the program takes from its surroundings besides the arguments; tests put their
// own clock and stop flag here.
struct CliEnvironment {
    LiveClock* clock = nullptr;         // null: the system's clocks
    std::atomic<bool>* stop = nullptr;  // null: SIGINT and SIGTERM end a run
    bool errIsTerminal = false;         // standard error is a terminal
};

// What every error line starts with.
inline constexpr const char* kProgramPrefix = "qtm200cli: ";

// A bad command line: one line naming what is wrong and a pointer to --help, status 2.
int BadCommandLine(std::ostream& err, const std::string& problem);

// The whole program: arguments after the program name in, exit status out.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment = {});

// Runs already parsed options: complaints go to err with every line prefixed, the rest of
// what goes to standard error (CommandContext::talk) as it is.
int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err,
               const CliEnvironment& environment = {});

// One sentence saying why a port could not be opened and, where the user can do
// something about it, what.
std::string DescribeOpenFailure(const PortError& error);

}  // namespace qtm::cli
