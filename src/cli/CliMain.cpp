// qtm200cli: talks to a QTX meter from the command line (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliRunner.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qtm::cli::RunCli(args, std::cout, std::cerr);
}
