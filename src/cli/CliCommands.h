// The commands of qtm200cli over a prepared MeterLink, and the pure formatting of the
// lines they print (scripts parse these lines, so their layout is fixed).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/CliOptions.h"
#include "cli/LiveClock.h"
#include "device/MeterLink.h"
#include "device/platform/PortHold.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"

namespace qtm::cli {

struct CommandContext {
    const CliOptions& options;
    MeterLink& link;
    std::ostream& out;
    std::ostream& err;    // complaints: every line of it is an error line
    std::string busPort;  // the RS-485 port, when the link is RS-485
    // Standard error for lines that are no complaint: pass lines moved off standard output,
    // the run summary, progress.
    std::ostream& talk;
    LiveClock& clock;
    std::atomic<bool>& stop;  // set when the user asks a run to end
    bool catchSignals;        // stop is set by SIGINT and SIGTERM during a run
    bool talkIsTerminal;      // progress is shown only to a person
};

// Runs options.command; returns the exit status.
int RunMeterCommand(CommandContext& context);

// Shared by the commands: lists the ports and finds the meter on the USB link (the model,
// or nothing after telling the user); opens the bus port (false after telling the user);
// why a request that should have gone out did not.
std::optional<std::string> FindUsbMeter(CommandContext& c);
bool OpenBus(CommandContext& c);
// Holds port for this process until hold ends, so no other program takes it between two
// of the run's requests; false after telling the user why it could not be held.
bool HoldPort(CommandContext& c, const std::string& port, PortHold& hold);
std::string SendFailure(const MeterLink& link);

// "N P=TEXT UNIT E=TEXT UNIT T=%.1f V=%.3f AD=%.0f t=%.1f"
std::string FormatUsbLiveLine(int pass, const LiveValues& values, std::string_view model);
// "N P=TEXT UNIT T=%.1f V=%.3f AD=%.0f zero=%.3f cal=%.3f calk=%.3f k=%.3f"
std::string FormatBusLiveLine(int pass, const BusLiveValues& values, std::string_view model);
// "N no reading"
std::string FormatNoReadingLine(int pass);
// The identity lines of a "QTX200" meter, each ending in a newline. Values that were
// not read show as empty texts and zeros.
std::string FormatIdentityLines(std::string_view model, const IdentityRead& identity);
// "storage: USED/7500" with USED = 15 records per page.
std::string FormatStorageLine(std::uint16_t pages);

}  // namespace qtm::cli
