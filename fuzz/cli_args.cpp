// The command lines of qtm200cli and qtm200sim, arguments split at zero bytes.
// Must never: crash, accept a line and still give an error, refuse one without saying
// why, or accept a bus address or a negative pass count.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "cli/CliOptions.h"
#include "sim/SimArgs.h"

using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }

    const qtm::cli::ParseResult cli = qtm::cli::ParseCommandLine(args);
    if (cli.options) {
        QTM_FUZZ_CHECK(cli.error.empty() && !cli.help);
        QTM_FUZZ_CHECK(cli.options->address >= 0 && cli.options->address <= 255);
        // 0 is "until stopped".
        QTM_FUZZ_CHECK(cli.options->count >= 0);
    } else if (!cli.help && !cli.version) {
        QTM_FUZZ_CHECK(!cli.error.empty());
    }

    std::string error;
    const auto sim = qtmsim::ParseSimArgs(args, &error);
    if (!sim) QTM_FUZZ_CHECK(!error.empty());
    return 0;
}
