#include "service/WriteLog.h"

namespace qtm {

void WriteLog::Append(const ServiceLogEntry& entry) {
    const std::string error = AppendServiceLog(m_target, entry, m_path);
    if (m_error.empty()) m_error = error;
}

}  // namespace qtm
