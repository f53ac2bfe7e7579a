// Runs one qtm200cli command line: sets up the link (and the simulated meter when
// asked), runs the command and writes its lines to out and its complaints to err.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace qtm {
struct PortError;
}

namespace qtm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What every error line starts with.
inline constexpr const char* kProgramPrefix = "qtm200cli: ";

// A bad command line: one line naming what is wrong and a pointer to --help, status 2.
int BadCommandLine(std::ostream& err, const std::string& problem);

// The whole program: arguments after the program name in, exit status out.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs already parsed options: complaints go to err with every line prefixed, the rest of
// what goes to standard error (CommandContext::talk) as it is.
int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err);

// One sentence saying why a port could not be opened and, where the user can do
// something about it, what.
std::string DescribeOpenFailure(const PortError& error);

}  // namespace qtm::cli
