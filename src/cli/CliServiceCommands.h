// The service commands of qtm200cli: parameter writes, zero calibration, fitting, and the
// parameter backup and restore. Every command that writes to a meter saves the meter's
// parameters first and writes nothing when it cannot.
#pragma once

#include <string>

#include "cli/CliCommands.h"
#include "service/FitText.h"

namespace qtm::cli {

// Runs a service command (IsServiceCommand); returns the exit status.
int RunServiceCommand(CommandContext& context);

// "pair N: T=%.3f AD=%.3f" for the 50 pairs, then
// "formula: c4=%.5f c3=%.5f c2=%.5f c1=%.5f c0=%.5f", each line ending in a newline.
std::string FormatFitLines(const FitPairs& pairs, const FitCoefficients& c4ToC0);

}  // namespace qtm::cli
