// ParameterBackupSession: the window's record of the parameter backups taken in this run, so a
// meter is backed up before the first write of the session and before every calibration
// write, and where those backups go. Meters are told apart by the serial number they report,
// not by the port: a meter swapped onto the same adapter gets a backup of its own.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "service/ParameterBackup.h"

class ParameterBackupSession {
public:
    explicit ParameterBackupSession(std::filesystem::path folder);

    // Whether a write needs a backup first: every calibration write, the first write of the
    // session to each serial number, and every write to a meter that reports none (it cannot
    // be told from another).
    bool Needed(const std::string& serialNumber, bool calibration) const;
    void Taken(const std::string& serialNumber, const std::filesystem::path& file);

    // The parameters of the meter read just before the present write, for the service log's
    // old values; nothing when they could not be read.
    void SetBefore(std::optional<qtm::MeterParameters> parameters) {
        m_before = std::move(parameters);
    }
    const std::optional<qtm::MeterParameters>& Before() const { return m_before; }

    const std::filesystem::path& Folder() const { return m_folder; }
    const std::filesystem::path& LastFile() const { return m_lastFile; }

private:
    std::filesystem::path m_folder;
    std::set<std::string> m_backedUp;
    std::filesystem::path m_lastFile;
    std::optional<qtm::MeterParameters> m_before;
};
