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

// One parameter of a restore and how its write went.
struct RestoreStep {
    enum class Result { Written, Failed, NoBusForm };
    std::string name;
    Result result;
};
// Writes the values backup holds: model, SN, band, range, cal, save interval, K, in this
// order. Over RS-485 only cal and K have a register; the others are reported as such.
std::vector<RestoreStep> RestoreParameters(MeterLink& link, const MeterTarget& target,
                                           const MeterParameters& backup);
bool AllWritten(const std::vector<RestoreStep>& steps);
// "name: written" / "name: write failed" / "name: cannot be written over RS-485" lines.
std::string DescribeRestore(const std::vector<RestoreStep>& steps);

}  // namespace qtm
