// The service log of one operation's writes: where they go and the meter they go to, with
// the first failure to record one kept so the caller can tell the operator.
#pragma once

#include <filesystem>
#include <string>

#include "service/ServiceLog.h"

namespace qtm {

class WriteLog {
public:
    explicit WriteLog(ServiceLogTarget target, std::filesystem::path path = ServiceLogPath())
        : m_target(std::move(target)), m_path(std::move(path)) {}

    // Appends one line; a line that cannot be written is remembered, never thrown.
    void Append(const ServiceLogEntry& entry);
    // Empty while every line was written, otherwise why the first was not.
    const std::string& Error() const { return m_error; }
    const ServiceLogTarget& Target() const { return m_target; }

private:
    ServiceLogTarget m_target;
    std::filesystem::path m_path;
    std::string m_error;
};

}  // namespace qtm
