#include "cli/CliServiceLog.h"

#include "cli/CliRunner.h"
#include "service/ServiceLog.h"

namespace qtm::cli {

WriteLog LogFor(const CommandContext& c, const std::optional<MeterParameters>& meter) {
    const bool bus = c.options.link == Link::Rs485;
    const std::string serial = meter ? meter->serialNumber.value_or("") : std::string();
    return WriteLog(MakeServiceLogTarget("cli", bus ? c.busPort : c.link.PortName(), bus,
                                         c.options.address, serial));
}

void WarnIfNotLogged(CommandContext& c, const WriteLog& log) {
    if (!log.Error().empty())
        c.err << "the service log could not be written: " << log.Error() << "\n";
}

int LoggedOutcome(CommandContext& c, const std::optional<MeterParameters>& before,
                  const CliWrite& write, bool ok, const std::string& failure) {
    WriteLog log = LogFor(c, before);
    log.Append({write.parameter, write.old, write.value, WriteResult(ok, failure)});
    WarnIfNotLogged(c, log);
    if (ok) return kExitOk;
    c.err << failure << "\n";
    return kExitFailed;
}

}  // namespace qtm::cli
