// Where parameter backups live and how they are written and read: one timestamped file per
// backup under $XDG_DATA_HOME/QTM200Debug/backups (default ~/.local/share/...), named by the
// meter's serial number, written whole or not at all.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "service/ParameterBackup.h"

namespace qtm {

// The backup folder for the current environment (it need not exist yet).
std::filesystem::path BackupFolder();

// "YYYY-MM-DDTHH:MM:SSZ" of a moment, in UTC.
std::string UtcStamp(std::chrono::system_clock::time_point when);

// The file name of a backup: "<serial>_<YYYYMMDD-HHMMSS-mmm>.txt" with every character of the
// serial number outside [A-Za-z0-9._-] as "_" ("unknown" when there is none).
std::string BackupFileName(const MeterParameters& parameters,
                           std::chrono::system_clock::time_point when);

struct BackupSave {
    std::filesystem::path path;  // empty on failure
    std::string error;
};
// Writes the backup into folder (created when missing) through a temporary file renamed into
// place, never over an existing backup.
BackupSave SaveBackup(const MeterParameters& parameters, const std::filesystem::path& folder,
                      std::chrono::system_clock::time_point when);

// Writes the backup to the file the user named (replacing it), through a temporary file in
// the same folder. Empty on success, otherwise why not.
std::string WriteBackupFile(const MeterParameters& parameters, const std::filesystem::path& path);

struct BackupLoad {
    std::optional<MeterParameters> parameters;
    std::string error;
};
// Reads and parses a backup file (at most 64 KiB: a backup is a few hundred bytes).
BackupLoad LoadBackup(const std::filesystem::path& path);

}  // namespace qtm
