#include "console/ParameterBackupSession.h"

ParameterBackupSession::ParameterBackupSession(std::filesystem::path folder)
    : m_folder(std::move(folder)) {}

bool ParameterBackupSession::Needed(const std::string& serialNumber, bool calibration) const {
    return calibration || serialNumber.empty() || m_backedUp.count(serialNumber) == 0;
}

void ParameterBackupSession::Taken(const std::string& serialNumber,
                                   const std::filesystem::path& file) {
    if (!serialNumber.empty()) m_backedUp.insert(serialNumber);
    m_lastFile = file;
}
