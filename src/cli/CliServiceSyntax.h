// The words of qtm200cli's service commands (set, erase, udisk, zerocal, calk, zero, fit,
// formula, backup, restore) and the checks of their arguments, made while parsing so that a
// bad command line never reaches a meter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/CliOptions.h"

namespace qtm::cli {

std::optional<Command> ParseServiceCommand(std::string_view word);
bool IsServiceCommand(Command command);
// Whether the command takes words after it.
bool TakesArguments(Command command);
// "-1.5" and the like: after a command that takes values these are values, not options.
bool LooksLikeNumber(std::string_view word);
// One line saying what is wrong with the service command's arguments; empty when fine.
std::string CheckServiceArguments(const CliOptions& options);
// The usage lines of the service commands.
std::string ServiceUsageText();

}  // namespace qtm::cli
