#include "service/MeterIdentity.h"

#include "device/MeterText.h"
#include "device/ModbusFrame.h"

namespace qtm {

bool IdentityRead::Whole(std::string_view name) const {
    for (const std::string& b : broken) {
        if (b == name) return false;
    }
    return true;
}

IdentityRead ReadIdentity(MeterLink& link) {
    IdentityRead read;
    // Several reads in a row: a live worker must not slip its requests between them.
    auto sequence = link.LockSequence();
    auto note = [&](int result, const char* name) {
        if (result == 1 && !link.LastReplyWhole()) read.broken.emplace_back(name);
        return result == 1;
    };
    if (note(link.ReadSerialNumber(), "serial number")) read.serialNumber = link.SerialNumber();
    if (link.GetDeviceType() == DeviceType::Qtm300) return read;

    if (note(link.ReadBand(), "band")) read.band = link.Band();
    if (note(link.ReadRange(), "range")) read.range = link.Range();
    float cal = 0;
    if (note(link.ReadCalValue(cal), "calibration value")) read.calValue = cal;
    std::int32_t gap = 0;
    if (note(link.ReadSaveGap(gap), "save interval")) read.saveGap = gap;
    float k = 0;
    if (note(link.ReadCoefficientK(k), "K")) read.k = k;
    return read;
}

std::optional<std::string> ReadInfoText(MeterLink& link) {
    std::array<std::uint8_t, MeterLink::kInfoBlockBytes> block{};
    if (link.ReadInfoBlock(block) != 1) return std::nullopt;
    return DecodeMeterText(block.data(), block.size());
}

std::uint32_t DecodeBusSerialNumber(const std::array<std::uint8_t, 4>& data) {
    return RegisterUInt32(data.data());
}

std::string DecodeBusModel(const std::array<std::uint8_t, 12>& data) {
    return DecodeMeterText(data.data(), data.size());
}

std::string FormatBusSerialNumber(std::uint32_t serialNumber) {
    return std::to_string(serialNumber);
}

std::optional<BusIdentity> ReadBusIdentity(MeterLink& link, std::uint8_t address) {
    auto sequence = link.LockSequence();
    std::array<std::uint8_t, 4> serial{};
    if (link.ReadHoldingRegisters(address, kSerialNumberRegister, 2, serial) != 1) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 12> model{};
    if (link.ReadHoldingRegisters(address, kModelRegister, 6, model) != 1) return std::nullopt;
    return BusIdentity{DecodeBusSerialNumber(serial), DecodeBusModel(model),
                       TrimMeterField(model.data(), model.size())};
}

std::optional<std::string> ReadBusModel(MeterLink& link, std::uint8_t address) {
    std::array<std::uint8_t, 12> model{};
    if (link.ReadHoldingRegisters(address, kModelRegister, 6, model) != 1) return std::nullopt;
    return DecodeBusModel(model);
}

}  // namespace qtm
