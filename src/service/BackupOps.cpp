#include "service/BackupOps.h"

#include <algorithm>

#include "service/BackupStore.h"
#include "service/JsonText.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"
#include "service/TextWrites.h"
#include "service/WriteLog.h"

namespace qtm {

namespace {

constexpr int kAttempts = 10;
constexpr int kPauseMs = 100;
constexpr std::size_t kIdentityReply = 16;

// A backup is all of a meter's values or none: a value that did not come whole would be
// written back as if the meter had held it.
ParameterRead ReadUsb(MeterLink& link) {
    ParameterRead out;
    auto sequence = link.LockSequence();
    const std::string port = link.PortName();
    auto missing = [&](const char* what) {
        out.error =
            std::string("the meter on ") + port + " gave no whole reply to the " + what + " read";
        return out;
    };
    Bytes reply;
    if (link.ExchangeFrame(BuildVkIdentityRead(vk::kModel), kIdentityReply, kAttempts, kPauseMs,
                           reply, 1) != 1) {
        out.error = "the port " + port + " could not be opened";
        return out;
    }
    if (!link.LastReplyWhole()) {
        out.error = "the meter on " + port + " did not answer";
        return out;
    }
    MeterParameters p;
    // The whole model field, not the identification's model name: that one stops at the
    // first space, and "QTX 200P" would come back as "QTX".
    p.SetText(TextParameter::Model, VkIdentityModelBytes(reply));
    if (link.ReadSerialNumber() != 1 || !link.LastReplyWhole()) return missing("serial number");
    p.SetText(TextParameter::SerialNumber, link.SerialNumberBytes());
    if (link.ReadBand() != 1 || !link.LastReplyWhole()) return missing("band");
    p.SetText(TextParameter::Band, link.BandBytes());
    if (link.ReadRange() != 1 || !link.LastReplyWhole()) return missing("range");
    p.SetText(TextParameter::Range, link.RangeBytes());
    float cal = 0;
    if (link.ReadCalValue(cal) != 1 || !link.LastReplyWhole()) return missing("calibration value");
    p.calValue = cal;
    std::int32_t gap = 0;
    if (link.ReadSaveGap(gap) != 1 || !link.LastReplyWhole()) return missing("save interval");
    p.saveGap = gap;
    float k = 0;
    if (link.ReadCoefficientK(k) != 1 || !link.LastReplyWhole()) return missing("K");
    p.k = k;
    out.parameters = std::move(p);
    return out;
}

ParameterRead ReadBus(MeterLink& link, std::uint8_t address) {
    ParameterRead out;
    auto sequence = link.LockSequence();
    const std::string where = "the meter at bus address " + std::to_string(address);
    const std::optional<BusIdentity> identity = ReadBusIdentity(link, address);
    if (!identity) {
        out.error = where + " did not answer the serial number and model reads";
        return out;
    }
    const std::optional<BusLiveValues> block = ReadBusLiveValues(link, address);
    if (!block) {
        out.error = where + " did not answer the live block read";
        return out;
    }
    MeterParameters p;
    p.SetText(TextParameter::Model, identity->modelBytes);
    p.SetText(TextParameter::SerialNumber, FormatBusSerialNumber(identity->serialNumber));
    p.calValue = block->cal;
    p.k = block->k;
    p.calK = block->calK;
    p.zero = block->zero;
    out.parameters = std::move(p);
    return out;
}

std::string ResultText(const RestoreStep& step) {
    switch (step.result) {
        case RestoreStep::Result::Written:
            return "written";
        case RestoreStep::Result::Failed:
            return "write failed (" + step.reason + ")";
        case RestoreStep::Result::NoBusForm:
            return "cannot be written over RS-485";
        case RestoreStep::Result::Refused:
            return "not written: " + step.reason;
    }
    return "";
}

std::optional<std::string> Number(const std::optional<float>& value) {
    if (!value) return std::nullopt;
    return JsonNumber(*value);
}

// One number of a restore: written, judged and logged.
RestoreStep WriteNumber(MeterLink& link, const MeterTarget& target, const std::string& name,
                        bool ok, std::optional<std::string> old, std::string value, WriteLog* log) {
    RestoreStep step{name, ok ? RestoreStep::Result::Written : RestoreStep::Result::Failed, {}};
    if (!ok) step.reason = WriteFailureReason(link, target);
    if (log) log->Append({name, std::move(old), std::move(value), WriteResult(ok, step.reason)});
    return step;
}

}  // namespace

ParameterRead ReadMeterParameters(MeterLink& link, const MeterTarget& target) {
    if (link.GetDeviceType() == DeviceType::Qtm300) {
        ParameterRead out;
        out.error = "a QTM300 meter has no parameters to read";
        return out;
    }
    ParameterRead read = target.Bus() ? ReadBus(link, target.address) : ReadUsb(link);
    if (read.parameters) {
        read.parameters->link = target.Bus() ? "rs485" : "usb";
        read.parameters->port = link.PortName();
        read.parameters->taken = UtcStamp(std::chrono::system_clock::now());
    }
    return read;
}

BackupTaken TakeBackup(MeterLink& link, const MeterTarget& target,
                       const std::filesystem::path& folder) {
    BackupTaken out;
    ParameterRead read = ReadMeterParameters(link, target);
    if (!read.parameters) {
        out.error = read.error;
        return out;
    }
    const BackupSave saved = SaveBackup(*read.parameters, folder, std::chrono::system_clock::now());
    if (saved.path.empty()) {
        out.error = saved.error;
        return out;
    }
    out.path = saved.path;
    out.parameters = std::move(read.parameters);
    return out;
}

RestorePlan PlanRestore(MeterLink& link, const MeterTarget& target, const MeterParameters& backup) {
    RestorePlan plan;
    ParameterRead read = ReadMeterParameters(link, target);
    if (!read.parameters) {
        plan.error = read.error;
        return plan;
    }
    plan.otherMeter = OtherMeterText(*read.parameters, backup);
    plan.changes = DiffParameters(*read.parameters, backup, target.Bus());
    plan.current = std::move(read.parameters);
    return plan;
}

std::vector<RestoreStep> RestoreParameters(MeterLink& link, const MeterTarget& target,
                                           const MeterParameters& backup,
                                           const MeterParameters& current, WriteLog* log) {
    using Result = RestoreStep::Result;
    std::vector<RestoreStep> steps;
    auto sequence = link.LockSequence();
    for (const ParameterChange& change : DiffParameters(current, backup, target.Bus())) {
        if (!change.writable) {
            steps.push_back({change.name, Result::NoBusForm, {}});
            continue;
        }
        if (const std::optional<TextParameter> which = TextParameterNamed(change.name)) {
            const std::string bytes = *MeterTextBytes(backup, *which);
            const std::size_t width = TextFieldWidth(*which);
            // The meter sent more than its write takes: cutting it would not be a restore.
            if (bytes.size() > width) {
                steps.push_back({change.name, Result::Refused,
                                 "it has " + std::to_string(bytes.size()) +
                                     " bytes and the meter's field " + std::to_string(width)});
                continue;
            }
            const WriteOutcome outcome = WriteMeterText(link, *which, bytes);
            steps.push_back(
                {change.name, outcome.ok ? Result::Written : Result::Failed, outcome.reason});
            if (log) log->Append(TextWriteEntry(*which, current.Text(*which), bytes, outcome));
        } else if (change.name == "cal") {
            const bool ok = WriteCalValue(link, target, *backup.calValue);
            steps.push_back(WriteNumber(link, target, "cal", ok, Number(current.calValue),
                                        JsonNumber(*backup.calValue), log));
        } else if (change.name == "savetime") {
            const bool ok = WriteSaveGap(link, *backup.saveGap);
            std::optional<std::string> old;
            if (current.saveGap) old = JsonNumber(std::int64_t{*current.saveGap});
            steps.push_back(WriteNumber(link, target, "savetime", ok, old,
                                        JsonNumber(std::int64_t{*backup.saveGap}), log));
        } else if (change.name == "k") {
            const bool ok = WriteCoefficientK(link, target, *backup.k);
            steps.push_back(
                WriteNumber(link, target, "k", ok, Number(current.k), JsonNumber(*backup.k), log));
        }
    }
    return steps;
}

bool AllWritten(const std::vector<RestoreStep>& steps) {
    return std::all_of(steps.begin(), steps.end(), [](const RestoreStep& s) {
        return s.result == RestoreStep::Result::Written;
    });
}

std::string DescribeRestore(const std::vector<RestoreStep>& steps) {
    if (steps.empty())
        return "Nothing was written: the meter already holds every value of the backup.\n";
    std::string out;
    for (const RestoreStep& s : steps)
        out += s.name + ": " + ResultText(s) + "\n";
    return out;
}

}  // namespace qtm
