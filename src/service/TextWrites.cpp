#include "service/TextWrites.h"

#include "device/MeterText.h"
#include "service/JsonText.h"

namespace qtm {

std::string WriteFailureReason(const MeterLink& link, const MeterTarget& target) {
    const PortError error = link.LastOpenError();
    if (error.Failed()) return "the port " + error.path + " could not be opened";
    if (target.Bus()) return "the meter did not acknowledge the write";
    if (!link.LastReplyHeard()) return "the meter did not answer";
    return "the request could not be written whole";
}

WriteOutcome WriteMeterText(MeterLink& link, TextParameter which, std::string_view bytes) {
    auto sequence = link.LockSequence();
    int result = -1;
    switch (which) {
        case TextParameter::Model:
            result = link.WriteModel(bytes);
            break;
        case TextParameter::SerialNumber:
            result = link.WriteSerialNumber(bytes);
            break;
        case TextParameter::Band:
            result = link.WriteBand(bytes);
            break;
        case TextParameter::Range:
            result = link.WriteRange(bytes);
            break;
    }
    WriteOutcome outcome;
    outcome.ok = HeardResult(link, result) == 0;
    if (!outcome.ok) outcome.reason = WriteFailureReason(link, MeterTarget{});
    return outcome;
}

ServiceLogEntry TextWriteEntry(TextParameter which, const std::optional<std::string>& old,
                               std::string_view bytes, const WriteOutcome& outcome) {
    ServiceLogEntry entry;
    entry.parameter = TextParameterName(which);
    if (old) entry.oldValue = JsonString(*old);
    entry.newValue = JsonString(DecodeMeterText(bytes));
    entry.result = WriteResult(outcome.ok, outcome.reason);
    return entry;
}

}  // namespace qtm
