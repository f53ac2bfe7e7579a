// A meter's parameters as a readable backup text: the format, its reader and the list of
// what a restore would change. Pure functions; BackupStore keeps the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/MeterTextInput.h"

namespace qtm {

// What was read from a meter. A value is present only when it was read; a restore writes
// back the present ones it can (calK and zero are kept for the record only).
struct MeterParameters {
    std::string link;   // "usb" or "rs485"
    std::string port;   // the port it was read on
    std::string taken;  // UTC time of the read, "YYYY-MM-DDTHH:MM:SSZ"
    // The texts as the operator reads them (UTF-8)...
    std::optional<std::string> model;
    std::optional<std::string> serialNumber;
    std::optional<std::string> band;
    std::optional<std::string> range;
    // ...and beside each its bytes as the meter holds them (GBK, up to a zero byte, without
    // trailing spaces: TrimMeterField). A restore writes these and a comparison compares
    // them, so a text comes back byte for byte; the readable form is their decoding.
    std::optional<std::string> modelBytes;
    std::optional<std::string> serialNumberBytes;
    std::optional<std::string> bandBytes;
    std::optional<std::string> rangeBytes;
    std::optional<float> calValue;
    std::optional<std::int32_t> saveGap;
    std::optional<float> k;
    std::optional<float> calK;
    std::optional<float> zero;

    std::optional<std::string>& Text(TextParameter which);
    const std::optional<std::string>& Text(TextParameter which) const;
    std::optional<std::string>& TextBytes(TextParameter which);
    const std::optional<std::string>& TextBytes(TextParameter which) const;
    // A text from the meter's bytes: they are kept trimmed, and decoded for reading.
    void SetText(TextParameter which, std::string_view bytes);
};

// The bytes a restore would write for a text: those kept, or for a text set without them the
// readable form in GBK. Nothing when the text is absent or GBK cannot express it.
std::optional<std::string> MeterTextBytes(const MeterParameters& parameters, TextParameter which);

// "key=value" lines after a heading comment; texts escaped so each stays on one line, each
// followed by its bytes in hex ("model_bytes=51545820323030 50" without the space); numbers
// in the shortest form that reads back exactly.
std::string FormatBackup(const MeterParameters& parameters);

struct BackupParse {
    std::optional<MeterParameters> parameters;
    std::string error;  // one sentence when the text is not a whole backup
};
// Reads a backup text, all or nothing: a bad value, a line without "=", an unknown or
// repeated key, a key the meter's link needs that is missing, a text that does not match
// its bytes, a last line without its line end (a file cut short) or a text without the format
// line is an error. Format 1 (written before the bytes were kept) has texts alone; they are
// taken through GBK.
BackupParse ParseBackup(std::string_view text);

// One parameter a restore would change: its name and both values as the operator reads them.
struct ParameterChange {
    std::string name;
    std::string current;  // "(not read)" when the meter's value is unknown
    std::string restored;
    bool writable = true;  // false over RS-485 for the values that have no register there
};
// The parameters of backup that a restore writes (model, SN, band, range, cal, save
// interval, K) and that differ from current: texts by their bytes, numbers by their exact
// bits. Over RS-485 only cal and K can be written; the others are listed as not writable.
std::vector<ParameterChange> DiffParameters(const MeterParameters& current,
                                            const MeterParameters& backup, bool bus = false);
// "name: current -> restored" lines, or a line saying nothing changes.
std::string DescribeChanges(const std::vector<ParameterChange>& changes);

// Empty when backup is of the meter current was read from (the same serial number, or
// either not known); otherwise one sentence naming both serial numbers.
std::string OtherMeterText(const MeterParameters& current, const MeterParameters& backup);

}  // namespace qtm
