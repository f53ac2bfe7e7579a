#include "cli/CliRunner.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/CliServiceSyntax.h"
#include "cli/PrefixedStream.h"
#include "device/MeterLink.h"
#include "sim/SimMeter.h"

namespace qtm::cli {
namespace {

qtmsim::MeterConfig SimulatorConfig(const CliOptions& options) {
    qtmsim::MeterConfig config;
    config.family =
        options.family == Family::Qtm300 ? qtmsim::Family::Qtm300 : qtmsim::Family::Qtx200;
    // A "QTM300" meter names itself so unless told otherwise, as qtm200sim does.
    if (!options.simulateModel.empty()) {
        config.model = options.simulateModel;
    } else if (options.family == Family::Qtm300) {
        config.model = "QTM300";
    }
    config.rs485 = options.link == Link::Rs485;
    config.records = qtmsim::kDemoStoredRecords;
    config.address = static_cast<std::uint8_t>(options.address);
    // A line of meters: the simulator serves every address asked for.
    for (const int address : options.addresses)
        config.moreAddresses.push_back(static_cast<std::uint8_t>(address));
    return config;
}

// Option combinations that cannot work, caught before anything is opened.
std::string CheckCombination(const CliOptions& options) {
    // Only the commands that talk over the bus need its port; the others either need
    // no meter (ports) or say themselves that they work on the USB link only.
    const bool usesBus = options.command == Command::Info || options.command == Command::Live ||
                         IsServiceCommand(options.command);
    if (options.link == Link::Rs485 && usesBus && options.ports.empty() && !options.simulate)
        return "--link rs485 needs the bus port, given with --port or --simulate";
    return {};
}

// Windows has no pseudo-terminals: there the simulated meter is reached on its in-process
// line, beside the real ports.
TransportFactory LinkTransports(bool simulate) {
#ifdef _WIN32
    if (simulate) return qtmsim::SimMeter::TransportFactory(SystemTransportFactory());
#else
    static_cast<void>(simulate);
#endif
    return SystemTransportFactory();
}

}  // namespace

std::string DescribeOpenFailure(const PortError& error) {
    const std::string& path = error.path;
    switch (error.kind) {
        case PortErrorKind::NotFound:
            return "the serial port " + path + " does not exist";
        case PortErrorKind::PermissionDenied:
            return "permission denied on " + path +
                   "; add your user to the dialout group (sudo usermod -aG dialout $USER) "
                   "and log in again";
        case PortErrorKind::Busy:
            return "the serial port " + path + " is in use by another program";
        case PortErrorKind::NotATerminal:
            return path + " is not a serial port";
        case PortErrorKind::Other:
        case PortErrorKind::None:
            break;
    }
    std::string text = "the serial port " + path + " cannot be opened";
    if (!error.detail.empty()) text += " (" + error.detail + ")";
    return text;
}

int BadCommandLine(std::ostream& err, const std::string& problem) {
    err << kProgramPrefix << problem << "\ntry 'qtm200cli --help'\n";
    return kExitUsage;
}

int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err,
               const CliEnvironment& environment) {
    if (const std::string problem = CheckCombination(options); !problem.empty())
        return BadCommandLine(err, problem);

    // Every line of a complaint carries the program's name; the talk goes out as it is.
    PrefixedStream complaints(err, kProgramPrefix);
    std::unique_ptr<qtmsim::SimMeter> simulator;
    if (options.simulate) {
        simulator = std::make_unique<qtmsim::SimMeter>(SimulatorConfig(options));
        std::string reason;
        if (!simulator->Start(&reason)) {
            complaints << "the simulated meter could not be started: " << reason << "\n";
            return kExitFailed;
        }
    }

    MeterLink link(LinkTransports(options.simulate));
    link.SetDeviceType(options.family == Family::Qtm300 ? DeviceType::Qtm300 : DeviceType::Qtx200);
    link.SetCommMode(options.link == Link::Rs485 ? CommMode::Rs485 : CommMode::Usb);
    link.SetSystemPortsEnabled(!options.noSystemPorts);
    for (const std::string& port : options.ports)
        link.AddExtraPort(port);
    if (simulator) link.SetSimulatorPort(simulator->PortPath());

    std::string busPort;
    if (options.link == Link::Rs485) {
        if (!options.ports.empty()) {
            busPort = options.ports.front();
        } else if (simulator) {
            busPort = simulator->PortPath();
        }
    }
    LiveClock& clock = environment.clock ? *environment.clock : SystemClock();
    std::atomic<bool>& stop = environment.stop ? *environment.stop : StopOnSignals::Flag();
    CommandContext context{options, link,  out,  complaints,        busPort,
                           err,     clock, stop, !environment.stop, environment.errIsTerminal};
    const int status = RunMeterCommand(context);
    link.CloseBusPort();
    return status;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    const ParseResult parsed = ParseCommandLine(args);
    if (parsed.help) {
        out << UsageText();
        return kExitOk;
    }
    if (parsed.version) {
        out << VersionLine() << "\n";
        return kExitOk;
    }
    if (!parsed.options) return BadCommandLine(err, parsed.error);
    return RunCommand(*parsed.options, out, err, environment);
}

}  // namespace qtm::cli
