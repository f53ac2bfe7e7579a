// Writing the meter's texts (model, serial number, band, range) from the meter's bytes, and
// why a write did not take, in the words the service log and the messages use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device/MeterLink.h"
#include "service/MeterTextInput.h"
#include "service/ParameterOps.h"
#include "service/ServiceLog.h"

namespace qtm {

struct WriteOutcome {
    bool ok = false;
    std::string reason;  // why not, when not ok
};

// Why the last exchange of a write failed: the port would not open, the request did not go
// out whole, or the meter did not answer (USB) or acknowledge (RS-485). Call under
// link.LockSequence() with the exchange.
std::string WriteFailureReason(const MeterLink& link, const MeterTarget& target);

// Sends the text's bytes (at most its field's width, PrepareMeterText) in its field; taken
// when the request went out and the meter answered.
WriteOutcome WriteMeterText(MeterLink& link, TextParameter which, std::string_view bytes);

// The service-log line of a text write: old the readable text as read before (when it was),
// new the bytes sent, decoded.
ServiceLogEntry TextWriteEntry(TextParameter which, const std::optional<std::string>& old,
                               std::string_view bytes, const WriteOutcome& outcome);

}  // namespace qtm
