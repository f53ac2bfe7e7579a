#include "cli/CliCommands.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <thread>

#include "cli/CliData.h"
#include "cli/CliRunner.h"
#include "cli/CliServiceCommands.h"
#include "cli/LiveCsvLog.h"
#include "cli/LiveRunWatch.h"
#include "device/CNumberFormat.h"
#include "device/platform/PortDetails.h"
#include "service/ModelCatalog.h"
#include "service/ReadingFormat.h"

namespace qtm::cli {
namespace {

constexpr int kRecordsPerPage = 15;
constexpr int kRecordCapacity = 7500;
constexpr const char* kNoMeterFound = "no meter found";
// An RS-485 pass waits this long before its block read, as the window's loop does, so
// a logging run does not keep the bus busy.
constexpr int kBusPassPauseMs = 1000;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormatC(format, args);
    va_end(args);
    return text;
}

std::string Reading(ReadingKind kind, float value, std::string_view model) {
    std::string text;
    std::string unit;
    FormatReading(text, kind, value, unit, model);
    return text + " " + unit;
}

}  // namespace

// Why a request that should have gone out did not.
std::string SendFailure(const MeterLink& link) {
    const PortError error = link.LastOpenError();
    if (error.Failed()) return DescribeOpenFailure(error);
    return "the request could not be written to " + link.PortName();
}

// Lists the ports and finds the meter on the USB link; the found model, or nothing
// after telling the user.
std::optional<std::string> FindUsbMeter(CommandContext& c) {
    c.link.EnumeratePorts();
    std::string model;
    if (c.link.FindMeter(model) == 0) return model;
    // Scripts match the first line; the reason, when there is one, follows on its own.
    c.err << kNoMeterFound << "\n";
    if (c.link.PortCount() == 0) {
        c.err << "no serial port is listed\n";
    } else if (const PortError error = c.link.LastOpenError(); error.Failed()) {
        c.err << DescribeOpenFailure(error) << "\n";
    }
    return std::nullopt;
}

bool OpenBus(CommandContext& c) {
    if (c.link.OpenBusPort(c.busPort, MeterLink::kUsbBaudRate) == 0) return true;
    c.err << DescribeOpenFailure(c.link.LastOpenError()) << "\n";
    return false;
}

bool HoldPort(CommandContext& c, const std::string& port, PortHold& hold) {
    PortError error;
    if (hold.Take(port, &error)) return true;
    c.err << DescribeOpenFailure(error) << "\n";
    return false;
}

namespace {

// The path first, so that scripts which cut the first field get the paths.
int Ports(CommandContext& c) {
    c.link.EnumeratePorts();
    const std::string simulator = c.link.SimulatorPort();
    for (const std::string& port : c.link.PortList()) {
        c.out << port << "  "
              << (port == simulator ? "simulated meter"
                                    : DescribePortDetails(ReadPortDetails(port)))
              << "\n";
    }
    return kExitOk;
}

int Scan(CommandContext& c) {
    if (c.options.link == Link::Rs485) {
        // The identification request belongs to the USB link; a bus meter would not
        // answer it, and other devices on the bus should not be sent it.
        c.err << kNoMeterFound << "\nscan searches the USB link only; with --link rs485 use info\n";
        return kExitFailed;
    }
    const auto model = FindUsbMeter(c);
    if (!model) return kExitFailed;
    c.out << "port: " << c.link.PortName() << "\nmodel: " << *model << "\n";
    return kExitOk;
}

int UsbInfo(CommandContext& c) {
    const auto model = FindUsbMeter(c);
    if (!model) return kExitFailed;
    if (c.options.family == Family::Qtm300) {
        const auto info = ReadInfoText(c.link);
        c.out << "model: " << *model << "\ninfo: " << info.value_or("") << "\n";
        if (info) return kExitOk;
        c.err << "the information block could not be read: " << SendFailure(c.link) << "\n";
        return kExitFailed;
    }
    const IdentityRead identity = ReadIdentity(c.link);
    c.out << FormatIdentityLines(*model, identity);
    const bool complete = identity.serialNumber && identity.band && identity.range &&
                          identity.calValue && identity.saveGap && identity.k;
    if (!complete) {
        c.err << "some settings could not be read: " << SendFailure(c.link) << "\n";
        return kExitFailed;
    }
    if (identity.broken.empty()) return kExitOk;
    std::string names;
    for (const std::string& name : identity.broken)
        names += (names.empty() ? "" : ", ") + name;
    c.err << "the meter gave no whole reply for: " << names << "\n";
    return kExitFailed;
}

int BusInfo(CommandContext& c) {
    if (!OpenBus(c)) return kExitFailed;
    const auto identity = ReadBusIdentity(c.link, static_cast<std::uint8_t>(c.options.address));
    if (!identity) {
        c.err << "param read failed\n";
        return kExitFailed;
    }
    c.out << "sn: " << FormatBusSerialNumber(identity->serialNumber)
          << "\nmodel: " << identity->model << "\n";
    return kExitOk;
}

int Memory(CommandContext& c) {
    if (c.options.link == Link::Rs485) {
        // The meter has no register for its record memory: the count is a USB read.
        c.err << "the record memory can be read over the USB link only\n";
        return kExitFailed;
    }
    if (!FindUsbMeter(c)) return kExitFailed;
    MemoryUsage usage;
    bool whole = false;
    {
        auto sequence = c.link.LockSequence();
        if (c.link.ReadMemoryUsage(usage) != 1) {
            c.err << "the record memory could not be read: " << SendFailure(c.link) << "\n";
            return kExitFailed;
        }
        whole = c.link.LastReplyWhole();
    }
    // A count that did not come whole reads as an empty memory, which it need not be.
    if (!whole) {
        c.err << "the meter on " << c.link.PortName()
              << " gave no whole reply to the record memory read\n";
        return kExitFailed;
    }
    c.out << FormatStorageLine(usage.Pages()) << "\n";
    return kExitOk;
}

// Ends a live run: the watch's sentence on stderr, when it has one, and its status.
int LiveStatus(CommandContext& c, const LiveRunWatch& watch) {
    if (const std::string summary = watch.Summary(); !summary.empty()) c.err << summary << "\n";
    return watch.Status();
}

int UsbLive(CommandContext& c) {
    LiveCsvLog csv;
    if (!csv.Check(c)) return kExitFailed;
    const auto found = FindUsbMeter(c);
    if (!found) return kExitFailed;
    // Every request opens the port afresh; the hold keeps it ours in between.
    PortHold hold;
    if (!HoldPort(c, c.link.PortName(), hold)) return kExitFailed;
    const std::string model = c.options.model.value_or(*found);
    LiveRunWatch watch(c.link.PortName());
    if (!csv.Open(c, model)) return kExitFailed;
    std::ostream& lines = csv.OnStandardOutput() ? c.talk : c.out;
    LiveValues values;
    for (int pass = 1; pass <= c.options.count; ++pass) {
        values = ReadLiveValues(c.link, values);
        if (values.powerOk) {
            lines << FormatUsbLiveLine(pass, values, model) << std::endl;
            if (!csv.Add(c, pass, values.power, values.energy, values.EnergySeconds())) break;
        } else {
            lines << FormatNoReadingLine(pass) << std::endl;
        }
        if (!watch.UsbPass(values, c.link.LastOpenError())) break;
    }
    const int status = LiveStatus(c, watch);
    return csv.Finish(c) ? status : kExitFailed;
}

// The model whose units the readings take: --model, else the meter's model register.
std::string BusModel(CommandContext& c, std::uint8_t address) {
    if (c.options.model) return *c.options.model;
    if (const auto model = ReadBusModel(c.link, address)) {
        // The register may pad the name with spaces; the catalogue knows it without them.
        const std::size_t end = model->find_last_not_of(' ');
        if (end != std::string::npos) return model->substr(0, end + 1);
    }
    return std::string(kDefaultModel);
}

int BusLive(CommandContext& c) {
    LiveCsvLog csv;
    if (!csv.Check(c)) return kExitFailed;
    // The bus port stays open for the run anyway; the hold also covers a reopen.
    PortHold hold;
    if (!HoldPort(c, c.busPort, hold)) return kExitFailed;
    if (!OpenBus(c)) return kExitFailed;
    const auto address = static_cast<std::uint8_t>(c.options.address);
    const std::string model = BusModel(c, address);
    LiveRunWatch watch(c.busPort);
    if (!csv.Open(c, model)) return kExitFailed;
    std::ostream& lines = csv.OnStandardOutput() ? c.talk : c.out;
    for (int pass = 1; pass <= c.options.count; ++pass) {
        if (pass > 1) std::this_thread::sleep_for(std::chrono::milliseconds(kBusPassPauseMs));
        const auto values = ReadBusLiveValues(c.link, address);
        if (values) {
            lines << FormatBusLiveLine(pass, *values, model) << std::endl;
            if (!csv.Add(c, pass, values->power, 0.0, 0.0f)) break;
        } else {
            lines << FormatNoReadingLine(pass) << std::endl;
        }
        if (!watch.BusPass(values.has_value(), c.link.BusPortFailed())) break;
    }
    const int status = LiveStatus(c, watch);
    // The bus port closes before the hold ends, so no other program slips in between.
    c.link.CloseBusPort();
    return csv.Finish(c) ? status : kExitFailed;
}

}  // namespace

std::string FormatUsbLiveLine(int pass, const LiveValues& values, std::string_view model) {
    return Printf("%d P=", pass) + Reading(ReadingKind::Power, values.power, model) +
           " E=" + Reading(ReadingKind::Energy, static_cast<float>(values.energy), model) +
           Printf(" T=%.1f V=%.3f AD=%.0f t=%.1f", static_cast<double>(values.temperature),
                  static_cast<double>(values.voltage), static_cast<double>(values.ad),
                  static_cast<double>(values.EnergySeconds()));
}

std::string FormatBusLiveLine(int pass, const BusLiveValues& values, std::string_view model) {
    return Printf("%d P=", pass) + Reading(ReadingKind::Power, values.power, model) +
           Printf(" T=%.1f V=%.3f AD=%.0f zero=%.3f cal=%.3f calk=%.3f k=%.3f",
                  static_cast<double>(values.temperature), static_cast<double>(values.voltage),
                  static_cast<double>(values.ad), static_cast<double>(values.zero),
                  static_cast<double>(values.cal), static_cast<double>(values.calK),
                  static_cast<double>(values.k));
}

std::string FormatNoReadingLine(int pass) {
    return Printf("%d no reading", pass);
}

std::string FormatIdentityLines(std::string_view model, const IdentityRead& identity) {
    std::string lines = "model: " + std::string(model) + "\n";
    // A value the meter did not send whole is left out rather than shown as a meter value.
    auto known = [&](const auto& value, const char* name) { return value && identity.Whole(name); };
    if (known(identity.serialNumber, "serial number"))
        lines += "sn: " + *identity.serialNumber + "\n";
    if (known(identity.band, "band")) lines += "band: " + *identity.band + "\n";
    if (known(identity.range, "range")) lines += "range: " + *identity.range + "\n";
    if (known(identity.calValue, "calibration value"))
        lines += Printf("cal: %.3f\n", static_cast<double>(*identity.calValue));
    if (known(identity.saveGap, "save interval"))
        lines += Printf("savetime: %d\n", *identity.saveGap);
    if (known(identity.k, "K")) lines += Printf("k: %.3f\n", static_cast<double>(*identity.k));
    return lines;
}

std::string FormatStorageLine(std::uint16_t pages) {
    return Printf("storage: %d/%d", kRecordsPerPage * pages, kRecordCapacity);
}

int RunMeterCommand(CommandContext& c) {
    const bool bus = c.options.link == Link::Rs485;
    switch (c.options.command) {
        case Command::Ports:
            return Ports(c);
        case Command::Scan:
            return Scan(c);
        case Command::Info:
            return bus ? BusInfo(c) : UsbInfo(c);
        case Command::Memory:
            return Memory(c);
        case Command::Live:
            return bus ? BusLive(c) : UsbLive(c);
        case Command::Import:
            return ImportStoredRecords(c);
        default:
            return RunServiceCommand(c);
    }
    return kExitUsage;
}

}  // namespace qtm::cli
