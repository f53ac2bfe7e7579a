#include "cli/LiveRunWatch.h"

namespace qtm::cli {

void LiveRunWatch::Count(bool reading) {
    ++m_nPasses;
    if (!reading) ++m_nMissed;
}

bool LiveRunWatch::UsbPass(const LiveValues& values, const PortError& lastOpenError) {
    Count(values.powerOk);
    if (lastOpenError.Failed()) {
        // Every USB request opens the port afresh, so a failed open is the port itself.
        if (lastOpenError.kind == PortErrorKind::NotFound)
            m_strLoss = "the port is gone";
        else
            m_strLoss = "the port can no longer be opened (" +
                        (lastOpenError.detail.empty() ? PortErrorKindName(lastOpenError.kind)
                                                      : lastOpenError.detail) +
                        ")";
    } else if (values.answered == 0) {
        m_strLoss = "the meter stopped answering (no request of the pass got a valid reply)";
    }
    return !Lost();
}

bool LiveRunWatch::BusPass(bool gotBlock, bool portFailed) {
    Count(gotBlock);
    if (portFailed)
        m_strLoss = "the port stopped working (unplugged or hung up)";
    else if (!gotBlock)
        m_strLoss = "the meter stopped answering (no valid reply in three attempts)";
    return !Lost();
}

std::string LiveRunWatch::Summary() const {
    const std::string missed = std::to_string(m_nMissed) + " of " + std::to_string(m_nPasses) +
                               (m_nPasses == 1 ? " pass" : " passes") + " gave no reading";
    if (Lost())
        return "lost the meter on " + m_port + " at pass " + std::to_string(m_nPasses) + ": " +
               m_strLoss + "; " + missed;
    if (m_nMissed == m_nPasses && m_nPasses > 0) return "the meter gave no reading: " + missed;
    if (m_nMissed > 0) return missed;
    return {};
}

int LiveRunWatch::Status() const {
    // A run stopped before its first pass has lost nothing.
    return Lost() || (m_nPasses > 0 && m_nMissed == m_nPasses) ? 1 : 0;
}

}  // namespace qtm::cli
