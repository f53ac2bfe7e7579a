#include "cli/CliServiceSyntax.h"

#include "service/ValueChecks.h"

namespace qtm::cli {

namespace {

struct Word {
    std::string_view text;
    Command command;
};

constexpr Word kWords[] = {
    {"set", Command::Set},         {"erase", Command::Erase},     {"udisk", Command::Udisk},
    {"zerocal", Command::Zerocal}, {"calk", Command::Calk},       {"zero", Command::Zero},
    {"fit", Command::Fit},         {"formula", Command::Formula}, {"backup", Command::Backup},
    {"restore", Command::Restore},
};

// A value that is no finite number at all is a bad command line; one that is a number the meter
// cannot be meant to take (0, beyond its type) is refused when the command runs, with
// status 1 like every refusal that sends nothing.
template <typename T>
std::string SyntaxError(const Checked<T>& checked) {
    const bool syntax = checked.kind == RefusalKind::Empty ||
                        checked.kind == RefusalKind::NotANumber ||
                        checked.kind == RefusalKind::NotFinite;
    return syntax ? checked.error : std::string();
}

std::string CheckSet(const CliOptions& o) {
    const auto& a = o.arguments;
    if (a.empty())
        return "set needs a parameter: model, sn, band, range, savetime, k, cal, "
               "energy or addr";
    const std::string& what = a[0];
    const bool text = what == "model" || what == "sn" || what == "band" || what == "range";
    const bool number = what == "savetime" || what == "k" || what == "cal";
    // Every value is checked here, before a port is opened, so a slip never reaches a meter.
    if (!text && !number && what != "energy" && what != "addr")
        return "set does not know the parameter " + what;
    if (a.size() != 2) return "set " + what + " takes exactly one value";
    const std::string& value = a[1];
    if (what == "savetime") return SyntaxError(CheckSaveInterval(value));
    if (what == "k") return SyntaxError(CheckSingle(value, "K"));
    if (what == "cal") return SyntaxError(CheckSingle(value, "the calibration value"));
    if (what == "energy" && value != "stop" && value != "start" && value != "clear" &&
        value != "pause")
        return "set energy takes stop, start, clear or pause";
    if (what == "addr") {
        // 0 is the broadcast address: every meter on the line would take it.
        if (const auto address = CheckBusAddress(value, "the new bus address"); !address)
            return address.error;
        if (o.link != Link::Rs485) return "set addr needs --link rs485";
    }
    return {};
}

}  // namespace

std::optional<Command> ParseServiceCommand(std::string_view word) {
    for (const Word& w : kWords) {
        if (w.text == word) return w.command;
    }
    return std::nullopt;
}

bool IsServiceCommand(Command command) {
    for (const Word& w : kWords) {
        if (w.command == command) return true;
    }
    return false;
}

bool TakesArguments(Command command) {
    switch (command) {
        case Command::Set:
        case Command::Calk:
        case Command::Fit:
        case Command::Formula:
        case Command::Backup:
        case Command::Restore:
            return true;
        default:
            return false;
    }
}

bool LooksLikeNumber(std::string_view word) {
    return word.size() > 1 && word[0] == '-' &&
           ((word[1] >= '0' && word[1] <= '9') || word[1] == '.');
}

std::string CheckServiceArguments(const CliOptions& o) {
    const auto& a = o.arguments;
    switch (o.command) {
        case Command::Set:
            return CheckSet(o);
        case Command::Calk:
            if (a.size() != 1) return "calk takes one decimal number";
            return SyntaxError(CheckCalK(a[0]));
        case Command::Fit:
            if (a.size() != 1 || (a[0] != "start" && a[0] != "stop" && a[0] != "read"))
                return "fit takes start, stop or read";
            return {};
        case Command::Formula:
            if (a.size() != 5) return "formula takes five coefficients: C4 C3 C2 C1 C0";
            for (std::size_t j = 0; j < a.size(); ++j) {
                const std::string name = "formula coefficient C" + std::to_string(4 - j);
                if (auto error = SyntaxError(CheckCoefficient(a[j], name)); !error.empty())
                    return error;
            }
            return {};
        case Command::Backup:
        case Command::Restore:
            if (a.size() != 1 || a[0].empty()) return "backup and restore take one file name";
            return {};
        case Command::Udisk:
            if (o.family != Family::Qtm300) return "udisk is a QTM300 command; add --family qtm300";
            return {};
        default:
            return {};
    }
}

std::string ServiceUsageText() {
    return "  set model|sn|band|range TEXT\n"
           "                     write a text parameter (USB link); in GBK it may take 10\n"
           "                     bytes (model, sn) or 12 (band, range)\n"
           "  set savetime VALUE write the data-save interval in seconds (USB link)\n"
           "  set k VALUE, set cal VALUE\n"
           "                     write K or the calibration value\n"
           "  set energy stop|start|clear|pause\n"
           "                     set the energy accumulation (USB link)\n"
           "  set addr NEW       give the meter at --addr the bus address NEW (rs485)\n"
           "  erase              erase the meter's stored readings (USB link)\n"
           "  udisk              switch a QTM300 meter to its USB-disk mode\n"
           "  zerocal            run a zero calibration\n"
           "  calk VALUE         write the fitting coefficient Cal K (USB link)\n"
           "  zero               read the zero value\n"
           "  fit start|stop|read\n"
           "                     start or stop a fitting run, or read its data\n"
           "  formula C4 C3 C2 C1 C0\n"
           "                     write the fitting polynomial (USB link)\n"
           "  backup FILE        read every parameter into FILE\n"
           "  restore [--force] FILE\n"
           "                     write back the values of FILE that differ from the\n"
           "                     meter's; --force: also when FILE is of another meter\n"
           "a command that writes to a meter first saves the meter's parameters in\n"
#ifdef _WIN32
           "%APPDATA%\\QTM200Debug\\backups\\ and logs the write in\n"
           "%APPDATA%\\QTM200Debug\\service-log.jsonl\n";
#else
           "$XDG_DATA_HOME/QTM200Debug/backups/ and logs the write in\n"
           "$XDG_DATA_HOME/QTM200Debug/service-log.jsonl\n";
#endif
}

}  // namespace qtm::cli
