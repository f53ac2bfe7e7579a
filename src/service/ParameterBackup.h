// A meter's parameters as a readable backup text: the format, its reader and the list of
// what a restore would change. Pure functions; BackupStore keeps the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qtm {

// What was read from a meter. A value is present only when it was read; a restore writes
// back the present ones it can (calK and zero are kept for the record only).
struct MeterParameters {
    std::string link;   // "usb" or "rs485"
    std::string port;   // the port it was read on
    std::string taken;  // UTC time of the read, "YYYY-MM-DDTHH:MM:SSZ"
    std::optional<std::string> model;
    std::optional<std::string> serialNumber;
    std::optional<std::string> band;
    std::optional<std::string> range;
    std::optional<float> calValue;
    std::optional<std::int32_t> saveGap;
    std::optional<float> k;
    std::optional<float> calK;
    std::optional<float> zero;
};

// "key=value" lines after a heading comment; texts escaped so each stays on one line and
// reads back byte for byte, numbers in the shortest form that reads back exactly.
std::string FormatBackup(const MeterParameters& parameters);

struct BackupParse {
    std::optional<MeterParameters> parameters;
    std::string error;  // one sentence when the text is not a backup
};
// Reads a backup text. Unknown keys are skipped (a later version may add some); a bad value,
// a line without "=", or a text without the format line is an error.
BackupParse ParseBackup(std::string_view text);

// One parameter a restore would change: its name and both values as the operator reads them.
struct ParameterChange {
    std::string name;
    std::string current;  // "(not read)" when the meter's value is unknown
    std::string restored;
};
// The parameters of backup that a restore writes (model, SN, band, range, cal, save
// interval, K; over RS-485 only cal and K) and that differ from current.
std::vector<ParameterChange> DiffParameters(const MeterParameters& current,
                                            const MeterParameters& backup, bool bus = false);
// "name: current -> restored" lines, or a line saying nothing changes.
std::string DescribeChanges(const std::vector<ParameterChange>& changes);

}  // namespace qtm
