#include "cli/CliServiceSyntax.h"

#include <cmath>

#include "service/NumberText.h"

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

bool IsValue(const std::string& text) {
    const std::optional<double> value = WholeNumber(text);
    return value && std::isfinite(*value);
}

std::string CheckSet(const CliOptions& o) {
    const auto& a = o.arguments;
    if (a.empty())
        return "set needs a parameter: model, sn, band, range, savetime, k, cal, "
               "energy or addr";
    const std::string& what = a[0];
    const bool text = what == "model" || what == "sn" || what == "band" || what == "range";
    const bool number = what == "savetime" || what == "k" || what == "cal";
    if (!text && !number && what != "energy" && what != "addr")
        return "set does not know the parameter " + what;
    if (a.size() != 2) return "set " + what + " takes exactly one value";
    const std::string& value = a[1];
    if (number && !IsValue(value)) return "set " + what + " needs a decimal number";
    if (what == "energy" && value != "stop" && value != "start" && value != "clear" &&
        value != "pause")
        return "set energy takes stop, start, clear or pause";
    if (what == "addr") {
        // 0 is the broadcast address: every meter on the line would take it.
        const std::optional<double> address = WholeNumber(value);
        if (!address || *address != std::floor(*address) || *address < 1 || *address > 247)
            return "set addr takes a bus address from 1 to 247";
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
            if (a.size() != 1 || !IsValue(a[0])) return "calk takes one decimal number";
            return {};
        case Command::Fit:
            if (a.size() != 1 || (a[0] != "start" && a[0] != "stop" && a[0] != "read"))
                return "fit takes start, stop or read";
            return {};
        case Command::Formula:
            if (a.size() != 5) return "formula takes five coefficients: C4 C3 C2 C1 C0";
            for (const std::string& c : a) {
                if (!IsValue(c)) return "formula coefficient " + c + " is not a decimal number";
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
    return "  set model|sn|band|range TEXT   write a text parameter (USB link); in GBK it may\n"
           "                                 take 10 bytes (model, sn) or 12 (band, range)\n"
           "  set savetime VALUE             write the data-save interval in seconds (USB link)\n"
           "  set k VALUE | set cal VALUE    write K or the calibration value\n"
           "  set energy stop|start|clear|pause   set the energy accumulation (USB link)\n"
           "  set addr NEW                   give the meter at --addr a new bus address (rs485)\n"
           "  erase                          erase the meter's stored readings (USB link)\n"
           "  udisk                          switch a QTM300 meter to its USB-disk mode\n"
           "  zerocal                        run a zero calibration\n"
           "  calk VALUE                     write the fitting coefficient Cal K (USB link)\n"
           "  zero                           read the zero value\n"
           "  fit start|stop|read            start or stop a fitting run, or read its data\n"
           "  formula C4 C3 C2 C1 C0         write the fitting polynomial (USB link)\n"
           "  backup FILE                    read every parameter into FILE\n"
           "  restore [--force] FILE         write back the values of FILE that differ from the\n"
           "                                 meter's; --force also when FILE is of another meter\n"
           "every command that writes to a meter first saves its parameters under\n"
           "$XDG_DATA_HOME/QTM200Debug/backups\n";
}

}  // namespace qtm::cli
