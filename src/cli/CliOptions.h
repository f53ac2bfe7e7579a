// The command line of qtm200cli: options and command, parsed without side effects so
// that bad command lines are rejected before any port is touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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
// What live and import write on standard output: the pass lines, or the reading object.
enum class OutputFormat { Text, Csv, Jsonl };
// What live --csv does with a file that is already there (--append, --overwrite).
enum class CsvExisting { Refuse, Append, Overwrite };

struct CliOptions {
    std::vector<std::string> ports;  // --port, in the order given
    bool noSystemPorts = false;
    bool simulate = false;
    std::string simulateModel;  // empty: the simulator's own default model
    Family family = Family::Qtx200;
    Link link = Link::Usb;
    int address = 1;                   // the first of addresses
    std::vector<int> addresses{1};     // --addr 1,2,5-8: the meters a bus live run reads in turn
    std::optional<std::string> model;  // --model; otherwise the identified model
    Command command = Command::Ports;
    int count = 0;                   // live passes (or intervals); 0: until stopped
    std::optional<double> duration;  // --duration, seconds
    std::optional<double> interval;  // --interval, seconds
    bool average = false;            // --average: the interval's reading is the mean
    OutputFormat format = OutputFormat::Text;
    std::optional<std::string> log;  // --log: the self-describing CSV, a strftime pattern
    bool stats = false;              // --stats: the summary line after the readings
    bool keepGoing = false;          // --keep-going: a lost meter is waited for
    // --mqtt HOST[:PORT] and its companions: where every reading is published.
    std::optional<std::string> mqtt;
    std::string mqttPrefix = "qtm200";
    std::optional<std::string> mqttUser;
    bool mqttTls = false;
    std::optional<std::string> mqttCaFile;
    bool mqttDiscovery = false;
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

// "90", "1.5m", "2h": seconds, or a number with s, m or h; positive and finite.
std::optional<double> ParseSeconds(std::string_view text);

// "3", "1,2,5-8": bus addresses 1 to 247 in the order given, each once.
std::optional<std::vector<int>> ParseAddressList(std::string_view text);

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text (--help), ending in a newline; its last line is VersionLine().
std::string UsageText();
// "qtm200cli VERSION" (--version), without a newline.
std::string VersionLine();

}  // namespace qtm::cli
