#include "cli/CliCommands.h"

#include <cstdarg>
#include <cstdio>
#include <optional>

#include "cli/CliData.h"
#include "cli/CliRunner.h"
#include "cli/CliServiceCommands.h"
#include "cli/LiveRun.h"
#include "device/CNumberFormat.h"
#include "device/platform/PortDetails.h"
#include "service/ReadingFormat.h"

namespace qtm::cli {
namespace {

constexpr int kRecordsPerPage = 15;
constexpr int kRecordCapacity = 7500;
constexpr const char* kNoMeterFound = "no meter found";

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
#ifdef _WIN32
    // The simulated meter's line lives inside this process; no other program can take it.
    if (!port.empty() && port == c.link.SimulatorPort()) return true;
#endif
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
            return RunLive(c);
        case Command::Import:
            return ImportStoredRecords(c);
        default:
            return RunServiceCommand(c);
    }
    return kExitUsage;
}

}  // namespace qtm::cli
