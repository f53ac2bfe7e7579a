#include "service/ParameterOps.h"

#include <cstring>

#include "service/ParameterBackup.h"
#include "service/TextWrites.h"
#include "service/WriteLog.h"

namespace qtm {

namespace {

constexpr int kAttempts = 10;
constexpr int kPauseMs = 100;

// One USB write of the parameter table: the request exchanged, judged by the answer.
bool UsbWrite(MeterLink& link, const Bytes& request, std::size_t replyLength) {
    auto sequence = link.LockSequence();
    Bytes reply;
    const int result = link.ExchangeFrame(request, replyLength, kAttempts, kPauseMs, reply, 0);
    return HeardResult(link, result) == 0;
}

bool FloatRegisterWrite(MeterLink& link, std::uint8_t address, std::uint16_t reg, float value) {
    const std::array<std::uint8_t, 4> data = FloatRegisterData(value);
    return link.WriteMultipleRegisters(address, reg, 2, 4, data) == 1;
}

}  // namespace

Bytes BuildEnergyStateWrite(std::uint8_t state) {
    return BuildVkWrite(vkw::kEnergyState, Bytes{state});
}

Bytes BuildSaveGapWrite(std::int32_t seconds) {
    return BuildVkWrite(vkw::kSaveGap, LeInt32(seconds));
}

Bytes BuildKWrite(float k) {
    return BuildVkWrite(vkw::kCoefficientK, LeFloat(k));
}

Bytes BuildCalValueWrite(float value) {
    return BuildVkWrite(vkw::kCalValue, LeFloat(value));
}

Bytes BuildEraseRequest() {
    return Bytes{'V', 'K', kVkWrite, vkw::kErase, 0x01, 0x00, 0x01};
}

std::array<std::uint8_t, 4> FloatRegisterData(float value) {
    const Bytes le = LeFloat(value);
    return {le[0], le[1], le[2], le[3]};
}

int HeardResult(const MeterLink& link, int result) {
    if (result != 0) return result;
    return link.LastReplyHeard() ? 0 : -1;
}

int WriteIdentityTexts(MeterLink& link, const IdentityTexts& texts, WriteLog* log,
                       const MeterParameters* before) {
    struct Step {
        TextParameter which;
        const std::string& bytes;
        int flag;
    };
    const Step steps[] = {{TextParameter::Model, texts.model, kModelWriteFailed},
                          {TextParameter::SerialNumber, texts.serialNumber, kSnWriteFailed},
                          {TextParameter::Band, texts.band, kBandWriteFailed},
                          {TextParameter::Range, texts.range, kRangeWriteFailed}};
    auto sequence = link.LockSequence();
    int mask = 0;
    for (const Step& step : steps) {
        const WriteOutcome outcome = WriteMeterText(link, step.which, step.bytes);
        if (!outcome.ok) mask |= step.flag;
        if (log) {
            const std::optional<std::string> old =
                before ? before->Text(step.which) : std::optional<std::string>();
            log->Append(TextWriteEntry(step.which, old, step.bytes, outcome));
        }
    }
    return mask;
}

std::string ParamWriteReport(int mask) {
    struct Line {
        int flag;
        const char* text;
    };
    static constexpr Line kLines[] = {{kModelWriteFailed, " 1、Model write "},
                                      {kSnWriteFailed, " 2、SN write "},
                                      {kBandWriteFailed, " 3、Band write "},
                                      {kRangeWriteFailed, " 4、Rang write "}};
    std::string report = " -----< Param write Info!!! >----- \n\r";
    for (const Line& line : kLines) {
        report += line.text;
        report += (mask & line.flag) ? "failed." : "OK.";
        report += " \n\r";
    }
    return report;
}

bool WriteCalValue(MeterLink& link, const MeterTarget& target, float value) {
    if (target.Bus()) return FloatRegisterWrite(link, target.address, kCalValueRegister, value);
    return UsbWrite(link, BuildCalValueWrite(value), kActionReply);
}

bool WriteCoefficientK(MeterLink& link, const MeterTarget& target, float k) {
    if (target.Bus()) return FloatRegisterWrite(link, target.address, kKRegister, k);
    return UsbWrite(link, BuildKWrite(k), kWriteReply);
}

bool WriteSaveGap(MeterLink& link, std::int32_t seconds) {
    return UsbWrite(link, BuildSaveGapWrite(seconds), kWriteReply);
}

bool WriteEnergyState(MeterLink& link, std::uint8_t state) {
    return UsbWrite(link, BuildEnergyStateWrite(state), kActionReply);
}

bool EraseRecords(MeterLink& link) {
    return UsbWrite(link, BuildEraseRequest(), kActionReply);
}

bool SwitchToUsbDisk(MeterLink& link) {
    // The meter leaves the serial link for its disk mode and answers nothing: no reply is
    // awaited, and success is the whole request written.
    Bytes reply;
    return link.ExchangeFrame(BuildQtm300UsbDisk(), 0, 0, 0, reply, 0) == 0;
}

bool WriteBusAddress(MeterLink& link, std::uint8_t current, std::uint8_t wanted) {
    const std::array<std::uint8_t, 2> data{kBusAddressMarker, wanted};
    return link.WriteMultipleRegisters(current, kBusAddressRegister, 1, 2, data) == 1;
}

}  // namespace qtm
