#include "cli/CliServiceCommands.h"

#include "cli/CliRunner.h"
#include "cli/CliServiceLog.h"
#include "cli/CliServiceSyntax.h"
#include "service/BackupOps.h"
#include "service/BackupStore.h"
#include "service/CalibrationOps.h"
#include "service/JsonText.h"
#include "service/MeterTextInput.h"
#include "service/NumberText.h"
#include "service/ParameterOps.h"
#include "service/TextWrites.h"
#include "service/ValueChecks.h"
#include "service/WriteLog.h"

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

int Outcome(CommandContext& c, bool ok, const std::string& failure) {
    if (ok) return kExitOk;
    c.err << failure << "\n";
    return kExitFailed;
}

// set model|sn|band|range: the text goes out in the meter's code page. One that is empty, holds
// a control character or a character GBK lacks, or needs more bytes than its field, is
// refused (status 1, as a value the meter cannot take) before any port is opened.
int SetText(CommandContext& c, TextParameter which, const std::string& value) {
    const TextInput input = PrepareMeterText(which, value, LongText::Refuse);
    if (!input.bytes) return Outcome(c, false, input.error);
    const std::string what = TextParameterName(which);
    std::optional<MeterParameters> current;
    if (!UsbOnly(c, "set " + what) || !Connect(c) || !Backup(c, &current)) return kExitFailed;
    WriteLog log = LogFor(c, current);
    const WriteOutcome outcome = WriteMeterText(c.link, which, *input.bytes);
    log.Append(TextWriteEntry(which, current->Text(which), *input.bytes, outcome));
    WarnIfNotLogged(c, log);
    return Outcome(c, outcome.ok,
                   "the meter did not take the " + what + " write (" + outcome.reason + ")");
}

int Set(CommandContext& c) {
    const std::string& what = c.options.arguments[0];
    const std::string& value = c.options.arguments[1];
    if (const std::optional<TextParameter> text = TextParameterNamed(what))
        return SetText(c, *text, value);
    const MeterTarget target = TargetOf(c);
    const bool busForm = what == "k" || what == "cal" || what == "addr";
    if (!busForm && !UsbOnly(c, "set " + what)) return kExitFailed;
    const std::string failed = "the meter did not take the " + what + " write";
    std::optional<MeterParameters> before;
    if (what == "savetime") {
        const auto seconds = Accepted(c, CheckSaveInterval(value));
        if (!seconds || !Connect(c) || !Backup(c, &before)) return kExitFailed;
        const bool ok = WriteSaveGap(c.link, *seconds);
        return LoggedOutcome(c, before,
                             {"savetime", JsonNumberOf(before->saveGap), JsonNumber(*seconds)}, ok,
                             failed);
    }
    if (what == "k" || what == "cal") {
        const auto single = Accepted(c, CheckSingle(value, what == "k" ? "K" : "cal"));
        if (!single || !Connect(c) || !Backup(c, &before)) return kExitFailed;
        const bool ok = what == "k" ? WriteCoefficientK(c.link, target, *single)
                                    : WriteCalValue(c.link, target, *single);
        const auto old = JsonNumberOf(what == "k" ? before->k : before->calValue);
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
    return LoggedOutcome(c, before, {"zerocal", JsonNumberOf(before->zero), JsonString("zero")}, ok,
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
                         {"calk", JsonNumberOf(before->calK), JsonNumber(std::int64_t{*value})}, ok,
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

// Writes back only what differs from the meter's values read now, after keeping those in a
// backup of their own; a backup of another meter only with --force.
int Restore(CommandContext& c) {
    const BackupLoad loaded = LoadBackup(c.options.arguments[0]);
    if (!loaded.parameters) return Outcome(c, false, loaded.error);
    const MeterParameters& backup = *loaded.parameters;
    if (!Connect(c)) return kExitFailed;
    const MeterTarget target = TargetOf(c);
    const RestorePlan plan = PlanRestore(c.link, target, backup);
    if (!plan.current)
        return Outcome(
            c, false,
            "the meter's parameters could not be read (" + plan.error + "); nothing was written");
    if (!plan.otherMeter.empty() && !c.options.force)
        return Outcome(c, false,
                       "the backup is of the meter with serial number \"" +
                           backup.serialNumber.value_or("") + "\", not of the one connected (\"" +
                           plan.current->serialNumber.value_or("") +
                           "\"); nothing was written (restore --force writes it anyway)");
    if (plan.changes.empty()) {
        c.out << DescribeRestore({});
        return kExitOk;
    }
    c.out << DescribeChanges(plan.changes);
    const BackupSave saved =
        SaveBackup(*plan.current, BackupFolder(), std::chrono::system_clock::now());
    if (saved.path.empty())
        return Outcome(c, false,
                       "the meter's parameters could not be backed up (" + saved.error +
                           "); nothing was written");
    c.out << "backup: " << saved.path.string() << "\n";
    WriteLog log = LogFor(c, plan.current);
    const std::vector<RestoreStep> steps =
        RestoreParameters(c.link, target, backup, *plan.current, &log);
    c.out << DescribeRestore(steps);
    WarnIfNotLogged(c, log);
    bool failed = false;
    for (const RestoreStep& s : steps)
        failed = failed || s.result == RestoreStep::Result::Failed ||
                 s.result == RestoreStep::Result::Refused;
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
