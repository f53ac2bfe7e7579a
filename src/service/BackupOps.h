// Taking a meter's parameters for a backup and writing a backup back. No Qt: the window and
// the CLI share these, and both take a backup before they change a meter.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "device/MeterLink.h"
#include "service/ParameterBackup.h"
#include "service/ParameterOps.h"

namespace qtm {

struct ParameterRead {
    std::optional<MeterParameters> parameters;
    std::string error;  // why nothing could be read
};
// USB: the identification on the current port (the meter must answer it), then serial
// number, band, range, calibration value, save interval and K. RS-485: serial number and
// model registers and the live block (cal, K, Cal K, zero). The "QTM300" family has none.
ParameterRead ReadMeterParameters(MeterLink& link, const MeterTarget& target);

// Reads the parameters and saves them as a new backup in folder; the path, or why not.
struct BackupTaken {
    std::filesystem::path path;
    std::optional<MeterParameters> parameters;
    std::string error;
};
BackupTaken TakeBackup(MeterLink& link, const MeterTarget& target,
                       const std::filesystem::path& folder);

// What a restore of backup would do to the meter: its parameters read now, whether the
// backup is of another meter, and the values that differ.
struct RestorePlan {
    std::optional<MeterParameters> current;  // nothing when they could not be read
    std::string error;                       // why not
    std::string otherMeter;                  // OtherMeterText; empty for the same meter
    std::vector<ParameterChange> changes;    // DiffParameters(current, backup)
};
RestorePlan PlanRestore(MeterLink& link, const MeterTarget& target, const MeterParameters& backup);

// One parameter of a restore and how its write went.
struct RestoreStep {
    // Refused: not sent at all (a text longer than the meter's field), so not logged.
    enum class Result { Written, Failed, NoBusForm, Refused };
    std::string name;
    Result result;
    std::string reason;  // for Failed and Refused
};
class WriteLog;
// Writes the values of backup that differ from current (the meter's parameters read just
// before, DiffParameters): model, SN, band, range, cal, save interval, K, in this order,
// texts as the bytes the backup keeps. Nothing is written when nothing differs. Over RS-485
// only cal and K have a register; the others are reported as such. Each write is a line of
// log when given, its old value from current.
std::vector<RestoreStep> RestoreParameters(MeterLink& link, const MeterTarget& target,
                                           const MeterParameters& backup,
                                           const MeterParameters& current, WriteLog* log = nullptr);
bool AllWritten(const std::vector<RestoreStep>& steps);
// "name: written" / "name: write failed (why)" / "name: cannot be written over RS-485" /
// "name: not written: why" lines, or one line saying nothing was written.
std::string DescribeRestore(const std::vector<RestoreStep>& steps);

}  // namespace qtm
