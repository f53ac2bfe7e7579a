// ServiceLogFile: where the window's writes to a meter are recorded, and the one-time
// notice when that record cannot be kept.
#pragma once

#include <filesystem>
#include <string>

#include "service/ServiceLog.h"

class ServiceLogFile {
public:
    explicit ServiceLogFile(std::filesystem::path path = qtm::ServiceLogPath());

    // Appends the line; the sentence to tell the operator the first time appending fails
    // (once a session is enough: the next write would fail the same way), empty otherwise.
    std::string Append(const qtm::ServiceLogTarget& target, const qtm::ServiceLogEntry& entry);

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    bool m_bTold = false;
};
