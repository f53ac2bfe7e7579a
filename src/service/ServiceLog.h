// The record of every write to a meter, from the window and from the CLI: one JSON object
// per line in $XDG_DATA_HOME/QTM200Debug/service-log.jsonl, appended in one write each, so
// a technician can always tell what was put into which meter, when, and whether it took.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qtm {

// Where and to which meter the writes of one operation go.
struct ServiceLogTarget {
    std::string program;  // "window" or "cli"
    std::string port;
    std::string link;            // "usb" or "rs485"
    std::optional<int> address;  // over RS-485
    std::string serial;          // the meter's serial number as read
};

// One write. old and new are JSON values (JsonString, JsonNumber); old is left out when the
// value before the write was not read.
struct ServiceLogEntry {
    std::string parameter;  // model, sn, band, range, savetime, k, cal, energy, addr, erase,
                            // udisk, zerocal, calk, fit, formula
    std::optional<std::string> oldValue;
    std::string newValue;
    std::string result;  // "ok" or "failed: <reason>"
};

std::filesystem::path ServiceLogPath();

// The target of a write on port; address only over RS-485.
ServiceLogTarget MakeServiceLogTarget(std::string program, std::string port, bool bus, int address,
                                      std::string serial);

// The line written for entry at when, ending in "\n".
std::string FormatServiceLogLine(const ServiceLogTarget& target, const ServiceLogEntry& entry,
                                 std::chrono::system_clock::time_point when);

// "ok", or "failed: " and why.
std::string WriteResult(bool ok, const std::string& reason);

// Appends one line (creating the folder and the file when missing) in one write, then
// syncs it. Empty on success, otherwise why not, in one sentence.
std::string AppendServiceLog(
    const ServiceLogTarget& target, const ServiceLogEntry& entry,
    const std::filesystem::path& path = ServiceLogPath(),
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

// One line of the log taken apart for showing: its keys and values in order, the values as
// plain text (strings unquoted). Lines that are not such an object are kept whole in raw.
struct ServiceLogLine {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string raw;
    bool parsed = false;
    std::string Field(const std::string& key) const;
};
// The last `limit` lines of the file, newest first.
std::vector<ServiceLogLine> ReadServiceLog(const std::filesystem::path& path = ServiceLogPath(),
                                           std::size_t limit = 5000);

}  // namespace qtm
