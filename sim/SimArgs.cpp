#include "sim/SimArgs.h"

#include <cerrno>
#include <cstdlib>

#include "qtm/Version.h"

namespace qtmsim {

namespace {

constexpr int kMaxRecords = 0xFFFF * kRecordsPerPage;

bool ParseInt(const std::string& text, long low, long high, long* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *out = v;
    return true;
}

}  // namespace

std::string SimUsage() {
    return "usage: qtm200sim [--model NAME] [--family qtx200|qtm300] [--rs485 [--addr N]\n"
           "                 [--meters N]]\n"
           "                 [--records N] [--fault silent|short|garbage|badcrc|hangup]\n"
           "                 [--serial TEXT] [--log FILE|-]\n"
           "       qtm200sim --help | --version\n"
           "Serves a simulated QTX meter on a pseudo-terminal and prints its path as\n"
           "'port: /dev/pts/N' on the first line. Stop it with Ctrl-C or SIGTERM.\n"
           "With --rs485, --meters N serves a line of N meters from --addr on.\n"
           "  --model NAME       the model the meter names, 1 to 10 characters (default\n"
           "                     QTX-200P, QTM300 with --family qtm300)\n"
           "  --family qtx200|qtm300  the meter family (default qtx200)\n"
           "  --rs485            answer Modbus RTU frames as a meter on an RS-485 line\n"
           "                     instead of the USB command set\n"
           "  --addr N           the bus address, 1 to 247 (default 1; needs --rs485)\n"
           "  --records N        readings in the record memory (default 0)\n"
           "  --fault silent|short|garbage|badcrc|hangup\n"
           "                     misbehave on purpose: answer nothing, half of each reply,\n"
           "                     spoiled replies, replies with a bad CRC, or hang up\n"
           "  --serial TEXT      the serial number, at most 10 characters\n"
           "  --log FILE|-       write every request, with its time, to FILE (- for\n"
           "                     standard error)\n"
           "  -h, --help         show this text\n"
           "  --version          show the program's name and version\n"
           "exit status: 0 after SIGINT or SIGTERM, 1 cannot serve, 2 bad command line\n" +
           SimVersionLine() + "\n";
}

std::string SimVersionLine() {
    return std::string("qtm200sim ") + qtm::kProgramVersion;
}

std::optional<Fault> FaultFromName(const std::string& name) {
    if (name == "none") return Fault::None;
    if (name == "silent") return Fault::Silent;
    if (name == "short") return Fault::Short;
    if (name == "garbage") return Fault::Garbage;
    if (name == "badcrc") return Fault::BadCrc;
    if (name == "hangup") return Fault::HangUp;
    return std::nullopt;
}

std::optional<SimOptions> ParseSimArgs(const std::vector<std::string>& args, std::string* error) {
    SimOptions options;
    bool modelGiven = false;
    bool addrGiven = false;
    int meters = 1;
    auto fail = [&](const std::string& why) -> std::optional<SimOptions> {
        if (error) *error = why;
        return std::nullopt;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--model" || arg == "--family" || arg == "--addr" ||
                                arg == "--records" || arg == "--fault" || arg == "--serial" ||
                                arg == "--log" || arg == "--meters";
        if (arg == "--rs485") {
            options.config.rs485 = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (!takesValue)
            return fail((arg.starts_with("-") ? "unknown option " : "unexpected argument ") + arg);
        if (i + 1 >= args.size()) return fail(arg + " needs a value");
        const std::string& value = args[++i];
        long number = 0;
        if (arg == "--model") {
            if (value.empty() || value.size() > 10) return fail("--model takes 1 to 10 characters");
            options.config.model = value;
            modelGiven = true;
        } else if (arg == "--family") {
            if (value == "qtx200") {
                options.config.family = Family::Qtx200;
            } else if (value == "qtm300") {
                options.config.family = Family::Qtm300;
            } else {
                return fail("--family is qtx200 or qtm300");
            }
        } else if (arg == "--addr") {
            if (!ParseInt(value, 1, 247, &number)) return fail("--addr is a bus address 1 to 247");
            options.config.address = static_cast<std::uint8_t>(number);
            addrGiven = true;
        } else if (arg == "--meters") {
            if (!ParseInt(value, 1, 247, &number)) return fail("--meters is a count 1 to 247");
            meters = static_cast<int>(number);
        } else if (arg == "--records") {
            if (!ParseInt(value, 0, kMaxRecords, &number)) {
                return fail("--records is a count 0 to " + std::to_string(kMaxRecords));
            }
            options.config.records = static_cast<int>(number);
        } else if (arg == "--fault") {
            const auto fault = FaultFromName(value);
            if (!fault)
                return fail("--fault " + value +
                            ": no such fault (silent, short, garbage, badcrc, hangup, none)");
            options.config.fault = *fault;
        } else if (arg == "--serial") {
            if (value.size() > 10) return fail("--serial takes at most 10 characters");
            options.config.serial = value;
        } else {
            if (value.empty()) return fail("--log needs a file name or -");
            options.logPath = value;
        }
    }
    if (addrGiven && !options.config.rs485) return fail("--addr needs --rs485");
    if (meters > 1 && !options.config.rs485) return fail("--meters needs --rs485");
    if (options.config.address + meters - 1 > 247)
        return fail("--meters: the line's last address would be beyond 247");
    // The line's further meters, each at the next address.
    for (int a = options.config.address + 1; a < options.config.address + meters; ++a)
        options.config.moreAddresses.push_back(static_cast<std::uint8_t>(a));
    if (!modelGiven && options.config.family == Family::Qtm300) options.config.model = "QTM300";
    return options;
}

}  // namespace qtmsim
