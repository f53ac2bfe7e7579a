#include "cli/CliServiceLog.h"

#include "cli/CliRunner.h"
#include "service/ServiceLog.h"

namespace qtm::cli {

int LoggedOutcome(CommandContext& c, const std::optional<MeterParameters>& before,
                  const CliWrite& write, bool ok, const std::string& failure) {
    const bool bus = c.options.link == Link::Rs485;
    std::string serial;
    if (before && before->serialNumber) serial = *before->serialNumber;
    const ServiceLogTarget target = MakeServiceLogTarget("cli", bus ? c.busPort : c.link.PortName(),
                                                         bus, c.options.address, serial);
    const ServiceLogEntry entry{write.parameter, write.old, write.value, WriteResult(ok, failure)};
    if (const std::string error = AppendServiceLog(target, entry); !error.empty())
        c.err << "qtm200cli: the service log could not be written: " << error << "\n";
    if (ok) return kExitOk;
    c.err << failure << "\n";
    return kExitFailed;
}

}  // namespace qtm::cli
