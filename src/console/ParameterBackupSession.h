// ParameterBackupSession: the window's record of the parameter backups taken in this run, so a
// meter is backed up before the first write of the session and before every calibration
// write, and where those backups go.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "service/ParameterOps.h"

class ParameterBackupSession {
public:
    explicit ParameterBackupSession(std::filesystem::path folder);

    // The meter a write goes to: the link, the port and (on the bus) the address.
    static std::string MeterKey(const qtm::MeterTarget& target, const std::string& port);

    // Whether a write needs a backup first: every calibration write, and the first write of
    // the session to each meter.
    bool Needed(const std::string& meter, bool calibration) const;
    void Taken(const std::string& meter, const std::filesystem::path& file);

    const std::filesystem::path& Folder() const { return m_folder; }
    const std::filesystem::path& LastFile() const { return m_lastFile; }

private:
    std::filesystem::path m_folder;
    std::set<std::string> m_backedUp;
    std::filesystem::path m_lastFile;
};
