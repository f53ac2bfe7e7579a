#include "console/ParameterBackupSession.h"

ParameterBackupSession::ParameterBackupSession(std::filesystem::path folder)
    : m_folder(std::move(folder)) {}

std::string ParameterBackupSession::MeterKey(const qtm::MeterTarget& target,
                                             const std::string& port) {
    if (target.Bus()) return "rs485:" + port + "@" + std::to_string(target.address);
    return "usb:" + port;
}

bool ParameterBackupSession::Needed(const std::string& meter, bool calibration) const {
    return calibration || m_backedUp.count(meter) == 0;
}

void ParameterBackupSession::Taken(const std::string& meter, const std::filesystem::path& file) {
    m_backedUp.insert(meter);
    m_lastFile = file;
}
