// The command line of qtm200cli: options and command, parsed without side effects so
// that bad command lines are rejected before any port is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qtm::cli {

enum class Command {
    Ports,
    Scan,
    Info,
    Memory,
    Live,
    Import,
    // Service commands (CliServiceSyntax.h).
    Set,
    Erase,
    Udisk,
    Zerocal,
    Calk,
    Zero,
    Fit,
    Formula,
    Backup,
    Restore
};
enum class Family { Qtx200, Qtm300 };
enum class Link { Usb, Rs485 };
// What live --csv does with a file that is already there (--append, --overwrite).
enum class CsvExisting { Refuse, Append, Overwrite };

struct CliOptions {
    std::vector<std::string> ports;  // --port, in the order given
    bool noSystemPorts = false;
    bool simulate = false;
    std::string simulateModel;  // empty: the simulator's own default model
    Family family = Family::Qtx200;
    Link link = Link::Usb;
    int address = 1;
    std::optional<std::string> model;  // --model; otherwise the identified model
    Command command = Command::Ports;
    int count = 5;                       // live passes
    std::vector<std::string> arguments;  // the words after a service command
    std::optional<std::string> csv;      // --csv: the file import and live write
    CsvExisting csvExisting = CsvExisting::Refuse;
    bool force = false;  // --force: restore a backup of another meter
};

struct ParseResult {
    std::optional<CliOptions> options;  // empty when the command line is bad or help
    bool help = false;                  // --help was asked for
    bool version = false;               // --version was asked for
    std::string error;                  // one line saying what is wrong
};

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text (--help), ending in a newline; its last line is VersionLine().
std::string UsageText();
// "qtm200cli VERSION" (--version), without a newline.
std::string VersionLine();

}  // namespace qtm::cli
