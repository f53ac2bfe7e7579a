#include "cli/CliOptions.h"

#include "cli/CliServiceSyntax.h"
#include "device/ModbusFrame.h"
#include "qtm/Version.h"
#include "service/ModelCatalog.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace qtm::cli {
namespace {

// A whole decimal number in [low, high]; no signs, spaces or trailing text, so a
// typo never silently becomes a different address or count.
std::optional<int> ParseNumber(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<Command> ParseCommand(std::string_view word) {
    if (word == "ports") return Command::Ports;
    if (word == "scan") return Command::Scan;
    if (word == "info") return Command::Info;
    if (word == "memory") return Command::Memory;
    if (word == "live") return Command::Live;
    if (word == "import") return Command::Import;
    return ParseServiceCommand(word);
}

constexpr std::size_t kMaxSimulatedModel = 10;

ParseResult Fail(std::string message) {
    ParseResult result;
    result.error = std::move(message);
    return result;
}

}  // namespace

std::optional<double> ParseSeconds(std::string_view text) {
    double scale = 1;
    if (!text.empty()) {
        switch (text.back()) {
            case 's':
                text.remove_suffix(1);
                break;
            case 'm':
                scale = 60;
                text.remove_suffix(1);
                break;
            case 'h':
                scale = 3600;
                text.remove_suffix(1);
                break;
            default:
                break;
        }
    }
    // from_chars takes "inf" and "nan" and a leading minus; none is a length of time.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) return std::nullopt;
    value *= scale;
    // Ten years is longer than any run; the bound keeps the steady clock's sums in range.
    if (!(value > 0) || value > 10.0 * 366 * 86400) return std::nullopt;
    return value;
}

std::optional<std::vector<int>> ParseAddressList(std::string_view text) {
    std::vector<int> addresses;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = ParseNumber(item.substr(0, dash), kMinBusAddress, kMaxBusAddress);
        auto last = first;
        if (dash != std::string_view::npos)
            last = ParseNumber(item.substr(dash + 1), kMinBusAddress, kMaxBusAddress);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int a = *first; a <= *last; ++a) {
            // A meter read twice a pass would only slow the others down.
            if (std::find(addresses.begin(), addresses.end(), a) != addresses.end())
                return std::nullopt;
            addresses.push_back(a);
        }
        if (comma == std::string_view::npos) return addresses;
        text.remove_prefix(comma + 1);
    }
}

std::string UsageText() {
    return "usage: qtm200cli [common options] COMMAND [command options]\n"
           "       qtm200cli --help | --version\n"
           "common options:\n"
           "  --port PATH          list PATH as a serial port too (may be repeated); with\n"
           "                       --link rs485 the first one is the bus\n"
           "  --no-system-ports    list only the ports given with --port and the simulator's\n"
           "  --simulate[=MODEL]   start a simulated meter with stored readings in this\n"
           "                       program and list its port\n"
           "  --family qtx200|qtm300  the meter family (default qtx200)\n"
           "  --link usb|rs485     the link to the meter (default usb)\n"
           "  --addr N             the meter's bus address, 1 to 247 (default 1); live on\n"
           "                       RS-485 takes a list of meters on the line: 1,2,5-8\n"
           "  --model NAME         give the readings the units of NAME instead of those of\n"
           "                       the model the meter names\n"
           "  -h, --help           show this text\n"
           "  --version            show the program's name and version\n"
           "commands:\n"
           "  ports              list the serial ports, one per line: the path, then what\n"
           "                     it is (a USB adapter's ids, maker, product, serial number)\n"
           "  scan               find the port where a meter answers (USB link)\n"
           "  info               read the meter's identity and settings\n"
           "  memory             read how many records the meter has stored (USB link)\n"
           "  live [--count N] [--duration T] [--interval T [--average]]\n"
           "       [--format text|csv|jsonl] [--csv FILE [--append|--overwrite]]\n"
           "       [--log FILE] [--stats] [--keep-going] [--mqtt HOST[:PORT] [--mqtt-prefix P]\n"
           "       [--mqtt-user USER] [--mqtt-tls [--mqtt-cafile FILE]] [--mqtt-discovery]]\n"
           "                     live readings until interrupted (Ctrl-C or SIGTERM end the\n"
           "                     run cleanly: files whole, summary printed, status 0)\n"
           "  import [--format text|csv|jsonl] [--csv FILE] [--log FILE]\n"
           "                     download the meter's stored readings (USB link)\n" +
           ServiceUsageText() +
           "options of live and import:\n"
           "  --count N          end after N passes (0: no limit)\n"
           "  --duration T       end after T, or after N passes with --count, whichever\n"
           "                     comes first; T is seconds or a number with s, m or h\n"
           "                     (90, 1.5m, 2h)\n"
           "  --interval T       one reading every T, on time\n"
           "  --average          each reading the mean of its interval's passes, timed at\n"
           "                     the interval's end\n"
           "  --format text|csv|jsonl\n"
           "                     standard output: text (\"N P=... T=...\" lines, the\n"
           "                     default), csv (RFC 4180, UTF-8, header first) or jsonl\n"
           "                     (one JSON object per reading)\n"
           "  --csv FILE         write the meter software's CSV (UTF-16) to FILE; a FILE\n"
           "                     that exists is continued with --append, replaced with\n"
           "                     --overwrite and refused with neither; an import that is\n"
           "                     not complete goes to FILE.partial instead\n"
           "  --append           live --csv: add this run's readings to the FILE there\n"
           "  --overwrite        live --csv: replace the FILE there\n"
           "  --log FILE         append each reading to FILE as it comes: UTF-8 CSV with a\n"
           "                     byte-order mark, after a \"# key: value\" block about the\n"
           "                     run and the meter; strftime fields in FILE (%Y %m %d %H,\n"
           "                     local time) begin a new file when the name they give\n"
           "                     changes\n"
           "  --stats            after the readings, one line on standard error: count, min,\n"
           "                     max, mean, sd, integral and unit\n"
           "  --keep-going       live: a lost meter (or adapter) is told, tried again every\n"
           "                     5 s and told again when it is back; the run goes on\n"
           "  --mqtt HOST[:PORT] live: publish every reading (JSON, QoS 1) to the broker on\n"
           "                     PREFIX/SERIAL/reading (port 1883 by default), with a\n"
           "                     retained PREFIX/SERIAL/status online/offline and last will\n"
           "  --mqtt-prefix P    the topics' prefix (default qtm200)\n"
           "  --mqtt-user USER   log in; the password is QTM200_MQTT_PASSWORD's\n"
           "  --mqtt-tls         connect with TLS\n"
           "  --mqtt-cafile FILE the broker's certificate authority\n"
           "  --mqtt-discovery   also publish retained Home Assistant discovery configs\n"
           "  FILE - is standard output (the pass lines then go to standard error); import\n"
           "  shows its progress on standard error when that is a terminal\n"
           "exit status: 0 done, 1 failed (told on standard error), 2 bad command line\n" +
           VersionLine() + "\n";
}

std::string VersionLine() {
    return std::string("qtm200cli ") + kProgramVersion;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    bool haveCommand = false;
    bool haveCount = false;
    bool haveFormat = false;
    bool mqttUsed = false;  // an --mqtt-... option besides --mqtt

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];

        // Options that take a value accept "--name VALUE" and "--name=VALUE".
        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
        }
        auto takeValue = [&]() -> std::optional<std::string_view> {
            if (inlineValue) return inlineValue;
            if (i + 1 >= args.size()) return std::nullopt;
            return std::string_view(args[++i]);
        };

        if (name == "--help" || name == "-h") {
            ParseResult result;
            result.help = true;
            return result;
        } else if (name == "--version" && !inlineValue) {
            ParseResult result;
            result.version = true;
            return result;
        } else if (name == "--port") {
            const auto value = takeValue();
            if (!value || value->empty()) return Fail("--port needs a device path");
            options.ports.emplace_back(*value);
        } else if (name == "--no-system-ports" && !inlineValue) {
            options.noSystemPorts = true;
        } else if (name == "--simulate") {
            // The model is optional, so it is only taken from "--simulate=MODEL": a
            // following word is the command, not a model.
            options.simulate = true;
            if (inlineValue) {
                // The meter reports its model in a ten-byte field; a longer name would
                // come back cut and be taken for another model.
                if (inlineValue->empty() || inlineValue->size() > kMaxSimulatedModel)
                    return Fail("--simulate=MODEL takes a model name of 1 to 10 characters");
                options.simulateModel = std::string(*inlineValue);
            }
        } else if (name == "--family") {
            const auto value = takeValue();
            if (value == "qtx200") {
                options.family = Family::Qtx200;
            } else if (value == "qtm300") {
                options.family = Family::Qtm300;
            } else {
                return Fail("--family must be qtx200 or qtm300");
            }
        } else if (name == "--link") {
            const auto value = takeValue();
            if (value == "usb") {
                options.link = Link::Usb;
            } else if (value == "rs485") {
                options.link = Link::Rs485;
            } else {
                return Fail("--link must be usb or rs485");
            }
        } else if (name == "--addr") {
            const auto value = takeValue();
            // 0 is the broadcast every meter on the line obeys: no exchange of ours goes there.
            const auto addresses = value ? ParseAddressList(*value) : std::nullopt;
            if (!addresses)
                return Fail(
                    "--addr must be bus addresses from 1 to 247, such as 3 or 1,2,5-8, "
                    "each once");
            options.addresses = *addresses;
            options.address = addresses->front();
        } else if (name == "--model") {
            const auto value = takeValue();
            if (!value) return Fail("--model needs a model name");
            // A typo would relabel the readings with another model's units.
            if (!IsListedModel(*value))
                return Fail("--model " + std::string(*value) +
                            " is not a model this program knows; leave it out to use the "
                            "model the meter names");
            options.model = std::string(*value);
        } else if (name == "--count") {
            const auto value = takeValue();
            const auto count = value ? ParseNumber(*value, 0, 2147483647) : std::nullopt;
            if (!count) return Fail("--count must be a number of passes, 0 for no limit");
            options.count = *count;
            haveCount = true;
        } else if (name == "--duration" || name == "--interval") {
            const auto value = takeValue();
            const auto seconds = value ? ParseSeconds(*value) : std::nullopt;
            if (!seconds)
                return Fail(std::string(name) +
                            " must be a length of time: seconds, or a number with s, m or h");
            (name == "--duration" ? options.duration : options.interval) = *seconds;
        } else if (name == "--average" && !inlineValue) {
            options.average = true;
        } else if (name == "--stats" && !inlineValue) {
            options.stats = true;
        } else if (name == "--keep-going" && !inlineValue) {
            options.keepGoing = true;
        } else if (name == "--mqtt-tls" && !inlineValue) {
            options.mqttTls = true;
            mqttUsed = true;
        } else if (name == "--mqtt-discovery" && !inlineValue) {
            options.mqttDiscovery = true;
            mqttUsed = true;
        } else if (name == "--mqtt" || name == "--mqtt-prefix" || name == "--mqtt-user" ||
                   name == "--mqtt-cafile") {
            const auto value = takeValue();
            if (!value || value->empty()) return Fail(std::string(name) + " needs a value");
            const std::string text(*value);
            if (name == "--mqtt") {
                options.mqtt = text;
            } else if (name == "--mqtt-prefix") {
                // Topic levels are split at '/', and '+' and '#' are the subscribers' wildcards.
                if (text.find_first_of("+#") != std::string::npos || text.front() == '/' ||
                    text.back() == '/')
                    return Fail("--mqtt-prefix cannot hold + or # or begin or end with /");
                options.mqttPrefix = text;
            } else if (name == "--mqtt-user") {
                options.mqttUser = text;
            } else {
                options.mqttCaFile = text;
            }
            mqttUsed = name != "--mqtt" || mqttUsed;
        } else if (name == "--format") {
            const auto value = takeValue();
            if (value == "text") {
                options.format = OutputFormat::Text;
            } else if (value == "csv") {
                options.format = OutputFormat::Csv;
            } else if (value == "jsonl") {
                options.format = OutputFormat::Jsonl;
            } else {
                return Fail("--format must be text, csv or jsonl");
            }
            haveFormat = true;
        } else if (name == "--log") {
            const auto value = takeValue();
            if (!value || value->empty()) return Fail("--log needs a file name");
            options.log = std::string(*value);
        } else if (name == "--csv") {
            const auto value = takeValue();
            if (!value || value->empty()) return Fail("--csv needs a file name");
            options.csv = std::string(*value);
        } else if ((name == "--append" || name == "--overwrite") && !inlineValue) {
            const CsvExisting wanted =
                name == "--append" ? CsvExisting::Append : CsvExisting::Overwrite;
            if (options.csvExisting != CsvExisting::Refuse && options.csvExisting != wanted)
                return Fail("--append and --overwrite cannot both be given");
            options.csvExisting = wanted;
        } else if (name == "--force" && !inlineValue) {
            options.force = true;
        } else if (haveCommand && TakesArguments(options.command) &&
                   (!arg.starts_with("-") || LooksLikeNumber(arg))) {
            options.arguments.emplace_back(arg);
        } else if (arg.starts_with("-")) {
            return Fail("unknown option " + std::string(arg));
        } else if (haveCommand) {
            return Fail("unexpected argument " + std::string(arg));
        } else if (const auto command = ParseCommand(arg)) {
            options.command = *command;
            haveCommand = true;
        } else {
            return Fail("unknown command " + std::string(arg));
        }
    }

    if (!haveCommand) return Fail("no command given");
    const bool live = options.command == Command::Live;
    const bool data = live || options.command == Command::Import;
    if (haveCount && !live) return Fail("--count is only for live");
    if (options.duration && !live) return Fail("--duration is only for live");
    if (options.interval && !live) return Fail("--interval is only for live");
    if (options.average && !options.interval) return Fail("--average needs --interval");
    if (options.stats && !live) return Fail("--stats is only for live");
    if (options.keepGoing && !live) return Fail("--keep-going is only for live");
    if (options.mqtt && !live) return Fail("--mqtt is only for live");
    if (mqttUsed && !options.mqtt) return Fail("the --mqtt-... options need --mqtt HOST");
    if (options.mqttCaFile && !options.mqttTls) return Fail("--mqtt-cafile needs --mqtt-tls");
    if (haveFormat && !data) return Fail("--format is only for live and import");
    if (options.log && !data) return Fail("--log is only for live and import");
    // Two writers on one standard output would interleave their lines.
    const int onStdout =
        (options.format != OutputFormat::Text) + (options.csv == "-") + (options.log == "-");
    if (onStdout > 1)
        return Fail("only one of --format csv|jsonl, --csv - and --log - can use standard output");
    if (options.csv && options.command != Command::Live && options.command != Command::Import)
        return Fail("--csv is only for live and import");
    if (options.csvExisting != CsvExisting::Refuse &&
        (!options.csv || options.command != Command::Live))
        return Fail("--append and --overwrite are only for live --csv");
    if (options.force && options.command != Command::Restore)
        return Fail("--force is only for restore");
    // Only a live run polls a line of meters; every other command talks to one meter.
    if (options.addresses.size() > 1 && !(live && options.link == Link::Rs485))
        return Fail("--addr takes a list of addresses only for live with --link rs485");
    if (std::string problem = CheckServiceArguments(options); !problem.empty())
        return Fail(std::move(problem));

    ParseResult result;
    result.options = std::move(options);
    return result;
}

}  // namespace qtm::cli
