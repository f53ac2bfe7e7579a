#include "console/ServiceLogFile.h"

ServiceLogFile::ServiceLogFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::string ServiceLogFile::Append(const qtm::ServiceLogTarget& target,
                                   const qtm::ServiceLogEntry& entry) {
    const std::string error = qtm::AppendServiceLog(target, entry, m_path);
    if (error.empty() || m_bTold) return {};
    m_bTold = true;
    return "The service log " + m_path.string() +
           " cannot be written, so writes to the meter are not recorded: " + error;
}
