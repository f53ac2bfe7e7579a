// The command line of qtm200sim, parsed into a meter configuration without touching
// the terminal, so it can be tested.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/MeterModel.h"

namespace qtmsim {

struct SimOptions {
    MeterConfig config;
    std::string logPath;   // "" for no request log, "-" for standard error
    bool help = false;     // --help or -h: print the usage and serve nothing
    bool version = false;  // --version: print the version line and serve nothing
};

// Parses the arguments after the program name. On a bad argument gives nothing and
// puts the reason in *error.
std::optional<SimOptions> ParseSimArgs(const std::vector<std::string>& args, std::string* error);

// The usage text, printed for --help; its last line is SimVersionLine().
std::string SimUsage();
// "qtm200sim VERSION", printed for --version (without a newline).
std::string SimVersionLine();

// A fault's name as the command line spells it ("silent", ...); nothing for an unknown one.
std::optional<Fault> FaultFromName(const std::string& name);

}  // namespace qtmsim
