// qtm200cli: talks to a QTX meter from the command line (see --help).
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliRunner.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qtm::cli::CliEnvironment environment;
    environment.errIsTerminal = ::isatty(2) == 1;
    return qtm::cli::RunCli(args, std::cout, std::cerr, environment);
}
