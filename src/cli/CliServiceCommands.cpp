#include "cli/CliServiceCommands.h"

#include "cli/CliRunner.h"
#include "cli/CliServiceLog.h"
#include "cli/CliServiceSyntax.h"
#include "service/BackupOps.h"
#include "service/BackupStore.h"
#include "service/CalibrationOps.h"
#include "service/JsonText.h"
#include "service/NumberText.h"
#include "service/ParameterOps.h"
#include "service/ValueChecks.h"

namespace qtm::cli {

namespace {

constexpr const char* kUsbOnly = " has no RS-485 form; use the USB link";

// The value to send, or nothing after telling why it is refused: before any port is
// opened, so a refused value never reaches a meter.
template <typename T>
std::optional<T> Accepted(CommandContext& c, const Checked<T>& checked) {
    if (!checked) c.err << checked.error << "\n";
    return checked.value;
}

MeterTarget TargetOf(const CommandContext& c) {
    return {c.options.link == Link::Rs485 ? CommMode::Rs485 : CommMode::Usb,
            static_cast<std::uint8_t>(c.options.address)};
}

// Finds the meter on the USB link or opens the bus port, as the options say.
bool Connect(CommandContext& c) {
    if (c.options.link == Link::Rs485) return OpenBus(c);
    return FindUsbMeter(c).has_value();
}

// Refuses a USB-only operation on the bus; true when it may go on.
bool UsbOnly(CommandContext& c, const std::string& what) {
    if (c.options.link != Link::Rs485) return true;
    c.err << what << kUsbOnly << "\n";
    return false;
}

// Saves the meter's parameters before a write; false (after saying why) when that failed,
// and then nothing may be written.
bool Backup(CommandContext& c, std::optional<MeterParameters>* current = nullptr) {
    const BackupTaken taken = TakeBackup(c.link, TargetOf(c), BackupFolder());
    if (taken.path.empty()) {
        c.err << "the meter's parameters could not be backed up (" << taken.error
              << "); nothing was written\n";
        return false;
    }
    c.out << "backup: " << taken.path.string() << "\n";
    if (current) *current = taken.parameters;
    return true;
}

// A value as the backup read it, for the log.
template <typename T>
std::optional<std::string> OldNumber(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    if constexpr (std::is_integral_v<T>)
        return JsonNumber(std::int64_t{*value});
    else
        return JsonNumber(*value);
}

int Outcome(CommandContext& c, bool ok, const std::string& failure) {
    if (ok) return kExitOk;
    c.err << failure << "\n";
    return kExitFailed;
}

int Set(CommandContext& c) {
    const std::string& what = c.options.arguments[0];
    const std::string& value = c.options.arguments[1];
    const MeterTarget target = TargetOf(c);
    const bool busForm = what == "k" || what == "cal" || what == "addr";
    if (!busForm && !UsbOnly(c, "set " + what)) return kExitFailed;
    const std::string failed = "the meter did not take the " + what + " write";
    if (what == "model" || what == "sn" || what == "band" || what == "range") {
        if (!Connect(c) || !Backup(c)) return kExitFailed;
        auto sequence = c.link.LockSequence();
        int result = -1;
        if (what == "model") result = c.link.WriteModel(value);
        if (what == "sn") result = c.link.WriteSerialNumber(value);
        if (what == "band") result = c.link.WriteBand(value);
        if (what == "range") result = c.link.WriteRange(value);
        return Outcome(c, HeardResult(c.link, result) == 0, failed);
    }
    std::optional<MeterParameters> before;
    if (what == "savetime") {
        const auto seconds = Accepted(c, CheckSaveInterval(value));
        if (!seconds || !Connect(c) || !Backup(c, &before)) return kExitFailed;
        const bool ok = WriteSaveGap(c.link, *seconds);
        return LoggedOutcome(
            c, before, {"savetime", OldNumber(before->saveGap), JsonNumber(*seconds)}, ok, failed);
    }
    if (what == "k" || what == "cal") {
        const auto single = Accepted(c, CheckSingle(value, what == "k" ? "K" : "cal"));
        if (!single || !Connect(c) || !Backup(c, &before)) return kExitFailed;
        const bool ok = what == "k" ? WriteCoefficientK(c.link, target, *single)
                                    : WriteCalValue(c.link, target, *single);
        const auto old = OldNumber(what == "k" ? before->k : before->calValue);
        return LoggedOutcome(c, before, {what, old, JsonNumber(*single)}, ok, failed);
    }
    if (!Connect(c) || !Backup(c, &before)) return kExitFailed;
    if (what == "energy") {
        const std::uint8_t state = value == "stop"    ? 0
                                   : value == "start" ? 1
                                   : value == "clear" ? 2
                                                      : 3;
        const bool ok = WriteEnergyState(c.link, state);
        return LoggedOutcome(c, before, {"energy", std::nullopt, JsonString(value)}, ok, failed);
    }
    // addr (checked while parsing): the meter answers from its old address, then listens on
    // the new one.
    const int wanted = *CheckBusAddress(value).value;
    const bool ok = WriteBusAddress(c.link, target.address, static_cast<std::uint8_t>(wanted));
    return LoggedOutcome(
        c, before,
        {"addr", JsonNumber(std::int64_t{target.address}), JsonNumber(std::int64_t{wanted})}, ok,
        failed);
}

int Zerocal(CommandContext& c) {
    std::optional<MeterParameters> before;
    if (!Connect(c) || !Backup(c, &before)) return kExitFailed;
    const bool ok = ZeroCalibrate(c.link, TargetOf(c));
    return LoggedOutcome(c, before, {"zerocal", OldNumber(before->zero), JsonString("zero")}, ok,
                         "the meter did not take the zero calibration");
}

int Zero(CommandContext& c) {
    if (!Connect(c)) return kExitFailed;
    const ZeroReadout zero = ReadZeroValue(c.link, TargetOf(c));
    if (!zero.ok) return Outcome(c, false, "the zero value could not be read");
    c.out << "zero: " << FormatFixed(zero.zero, 3) << "\n";
    return kExitOk;
}

int Calk(CommandContext& c) {
    if (!UsbOnly(c, "calk")) return kExitFailed;
    const auto value = Accepted(c, CheckCalK(c.options.arguments[0]));
    std::optional<MeterParameters> before;
    if (!value || !Connect(c) || !Backup(c, &before)) return kExitFailed;
    const bool ok = WriteCalK(c.link, *value);
    return LoggedOutcome(c, before,
                         {"calk", OldNumber(before->calK), JsonNumber(std::int64_t{*value})}, ok,
                         "the meter did not take Cal K");
}

int Formula(CommandContext& c) {
    FitCoefficients coefficients{};
    if (!UsbOnly(c, "formula")) return kExitFailed;
    for (std::size_t j = 0; j < coefficients.size(); ++j) {
        const std::string name = "formula coefficient C" + std::to_string(4 - j);
        const auto value = Accepted(c, CheckCoefficient(c.options.arguments[j], name));
        if (!value) return kExitFailed;
        coefficients[j] = *value;
    }
    std::optional<MeterParameters> before;
    if (!Connect(c) || !Backup(c, &before)) return kExitFailed;
    const bool ok = WriteFormula(c.link, coefficients);
    return LoggedOutcome(c, before,
                         {"formula", std::nullopt, JsonString(CoefficientsText(coefficients))}, ok,
                         "the meter did not take the formula");
}

int Fit(CommandContext& c) {
    const std::string& what = c.options.arguments[0];
    const bool bus = c.options.link == Link::Rs485;
    if (what == "read") {
        if (!Connect(c)) return kExitFailed;
        const FitReadout fit =
            bus ? ReadFitDataBus(c.link, TargetOf(c).address, {}) : ReadFitDataUsb(c.link, {});
        if (!fit.sent)
            return Outcome(c, false, "the fitting data could not be read: " + SendFailure(c.link));
        if (!fit.ok) return Outcome(c, false, "the meter sent no fitting data");
        c.out << FormatFitLines(fit.pairs, fit.coefficients);
        return kExitOk;
    }
    if (bus && what == "stop") return Outcome(c, false, "fit stop" + std::string(kUsbOnly));
    std::optional<MeterParameters> before;
    if (!Connect(c) || !Backup(c, &before)) return kExitFailed;
    const CliWrite write{"fit", std::nullopt, JsonString(what)};
    if (bus)
        return LoggedOutcome(c, before, write, StartFittingOnBus(c.link, TargetOf(c).address),
                             "the meter did not start fitting");
    const std::uint8_t code = what == "start" ? vk::kFitStart : vk::kFitEnd;
    return LoggedOutcome(c, before, write, SetFitStateUsb(c.link, code) == 0,
                         "the meter did not take the fit " + what);
}

int Erase(CommandContext& c) {
    if (!UsbOnly(c, "erase")) return kExitFailed;
    std::optional<MeterParameters> before;
    if (!Connect(c) || !Backup(c, &before)) return kExitFailed;
    return LoggedOutcome(c, before, {"erase", std::nullopt, JsonString("erase")},
                         EraseRecords(c.link), "the meter did not take the erase");
}

int Udisk(CommandContext& c) {
    // A "QTM300" meter has no parameters to save, and the command changes none.
    if (!UsbOnly(c, "udisk") || !Connect(c)) return kExitFailed;
    const bool ok = SwitchToUsbDisk(c.link);
    return LoggedOutcome(c, std::nullopt, {"udisk", std::nullopt, JsonString("udisk")}, ok,
                         "the USB-disk command could not be sent: " + SendFailure(c.link));
}

int BackupTo(CommandContext& c) {
    if (!Connect(c)) return kExitFailed;
    const ParameterRead read = ReadMeterParameters(c.link, TargetOf(c));
    if (!read.parameters)
        return Outcome(c, false, "the parameters could not be read: " + read.error);
    const std::string error = WriteBackupFile(*read.parameters, c.options.arguments[0]);
    return Outcome(c, error.empty(), error);
}

int Restore(CommandContext& c) {
    const BackupLoad loaded = LoadBackup(c.options.arguments[0]);
    if (!loaded.parameters) return Outcome(c, false, loaded.error);
    std::optional<MeterParameters> current;
    if (!Connect(c) || !Backup(c, &current)) return kExitFailed;
    c.out << DescribeChanges(DiffParameters(*current, *loaded.parameters, TargetOf(c).Bus()));
    const std::vector<RestoreStep> steps =
        RestoreParameters(c.link, TargetOf(c), *loaded.parameters);
    c.out << DescribeRestore(steps);
    bool failed = false;
    for (const RestoreStep& s : steps)
        failed = failed || s.result == RestoreStep::Result::Failed;
    return Outcome(c, !failed, "some parameters could not be written back");
}

}  // namespace

std::string FormatFitLines(const FitPairs& pairs, const FitCoefficients& c) {
    std::string out;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        out += "pair " + std::to_string(i + 1) + ": T=" + FormatFixed(pairs[i].t, 3) +
               " AD=" + FormatFixed(pairs[i].ad, 3) + "\n";
    }
    out += "formula: c4=" + FormatFixed(c[0], 5) + " c3=" + FormatFixed(c[1], 5) +
           " c2=" + FormatFixed(c[2], 5) + " c1=" + FormatFixed(c[3], 5) +
           " c0=" + FormatFixed(c[4], 5) + "\n";
    return out;
}

int RunServiceCommand(CommandContext& c) {
    switch (c.options.command) {
        case Command::Set:
            return Set(c);
        case Command::Erase:
            return Erase(c);
        case Command::Udisk:
            return Udisk(c);
        case Command::Zerocal:
            return Zerocal(c);
        case Command::Calk:
            return Calk(c);
        case Command::Zero:
            return Zero(c);
        case Command::Fit:
            return Fit(c);
        case Command::Formula:
            return Formula(c);
        case Command::Backup:
            return BackupTo(c);
        case Command::Restore:
            return Restore(c);
        default:
            return kExitUsage;
    }
}

}  // namespace qtm::cli
