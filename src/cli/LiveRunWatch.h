// Keeps count of a CLI live run and tells when the meter is lost: its port gone or
// failing, or a whole pass in which no request got a valid reply (each request has
// already had the protocol's own retries by then, so that pass is the grace period).
// Pure: the loop feeds it each pass's outcome and prints what it says.
#pragma once

#include <string>

#include "device/PortError.h"
#include "service/LiveReadings.h"

namespace qtm::cli {

class LiveRunWatch {
public:
    explicit LiveRunWatch(std::string port) : m_port(std::move(port)) {}

    // Records a USB pass. lastOpenError is the link's after the pass: a failed open means
    // the port could not be reached. Returns false when the meter is lost.
    bool UsbPass(const LiveValues& values, const PortError& lastOpenError);
    // Records an RS-485 pass: whether the live block came, and whether the port failed.
    bool BusPass(bool gotBlock, bool portFailed);

    // The meter answers again after a loss (--keep-going): the run goes on as before.
    void Recovered() { m_strLoss.clear(); }
    // Whether any pass gave a reading.
    bool AnyReading() const { return m_nMissed < m_nPasses; }

    int Passes() const { return m_nPasses; }
    int Missed() const { return m_nMissed; }
    bool Lost() const { return !m_strLoss.empty(); }

    // The one sentence for stderr after the run: why the meter was lost (which port, at
    // which pass, how many passes gave no reading), or how many passes gave no reading,
    // or nothing when every pass gave one.
    std::string Summary() const;
    // The exit status: 1 when the meter was lost or no pass gave a reading, else 0.
    int Status() const;

private:
    void Count(bool reading);

    std::string m_port;
    int m_nPasses = 0;
    int m_nMissed = 0;
    std::string m_strLoss;  // what happened, when the meter was lost
};

}  // namespace qtm::cli
