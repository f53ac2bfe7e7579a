#include "service/BackupOps.h"

#include <algorithm>

#include "service/BackupStore.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"

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
    p.model = VkIdentityModel(reply);
    if (link.ReadSerialNumber() != 1 || !link.LastReplyWhole()) return missing("serial number");
    p.serialNumber = link.SerialNumber();
    if (link.ReadBand() != 1 || !link.LastReplyWhole()) return missing("band");
    p.band = link.Band();
    if (link.ReadRange() != 1 || !link.LastReplyWhole()) return missing("range");
    p.range = link.Range();
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
    p.model = identity->model;
    p.serialNumber = FormatBusSerialNumber(identity->serialNumber);
    p.calValue = block->cal;
    p.k = block->k;
    p.calK = block->calK;
    p.zero = block->zero;
    out.parameters = std::move(p);
    return out;
}

const char* ResultText(RestoreStep::Result result) {
    switch (result) {
        case RestoreStep::Result::Written:
            return "written";
        case RestoreStep::Result::Failed:
            return "write failed";
        case RestoreStep::Result::NoBusForm:
            return "cannot be written over RS-485";
    }
    return "";
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

std::vector<RestoreStep> RestoreParameters(MeterLink& link, const MeterTarget& target,
                                           const MeterParameters& backup) {
    using Result = RestoreStep::Result;
    std::vector<RestoreStep> steps;
    auto sequence = link.LockSequence();
    auto usbText = [&](const char* name, const std::optional<std::string>& value,
                       int (MeterLink::*write)(std::string_view)) {
        if (!value) return;
        if (target.Bus()) {
            steps.push_back({name, Result::NoBusForm});
            return;
        }
        const bool ok = HeardResult(link, (link.*write)(*value)) == 0;
        steps.push_back({name, ok ? Result::Written : Result::Failed});
    };
    usbText("model", backup.model, &MeterLink::WriteModel);
    usbText("sn", backup.serialNumber, &MeterLink::WriteSerialNumber);
    usbText("band", backup.band, &MeterLink::WriteBand);
    usbText("range", backup.range, &MeterLink::WriteRange);
    if (backup.calValue) {
        const bool ok = WriteCalValue(link, target, *backup.calValue);
        steps.push_back({"cal", ok ? Result::Written : Result::Failed});
    }
    if (backup.saveGap) {
        if (target.Bus()) {
            steps.push_back({"savetime", Result::NoBusForm});
        } else {
            const bool ok = WriteSaveGap(link, *backup.saveGap);
            steps.push_back({"savetime", ok ? Result::Written : Result::Failed});
        }
    }
    if (backup.k) {
        const bool ok = WriteCoefficientK(link, target, *backup.k);
        steps.push_back({"k", ok ? Result::Written : Result::Failed});
    }
    return steps;
}

bool AllWritten(const std::vector<RestoreStep>& steps) {
    return std::all_of(steps.begin(), steps.end(), [](const RestoreStep& s) {
        return s.result == RestoreStep::Result::Written;
    });
}

std::string DescribeRestore(const std::vector<RestoreStep>& steps) {
    std::string out;
    for (const RestoreStep& s : steps)
        out += s.name + ": " + ResultText(s.result) + "\n";
    return out;
}

}  // namespace qtm
