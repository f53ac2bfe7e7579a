#include "service/MeterIdentity.h"

#include "device/MeterText.h"
#include "device/ModbusFrame.h"

namespace qtm {

IdentityRead ReadIdentity(MeterLink& link) {
    IdentityRead read;
    // Several reads in a row: a live worker must not slip its requests between them.
    auto sequence = link.LockSequence();
    if (link.ReadSerialNumber() == 1) read.serialNumber = link.SerialNumber();
    if (link.GetDeviceType() == DeviceType::Qtm300) return read;

    if (link.ReadBand() == 1) read.band = link.Band();
    if (link.ReadRange() == 1) read.range = link.Range();
    float cal = 0;
    if (link.ReadCalValue(cal) == 1) read.calValue = cal;
    std::int32_t gap = 0;
    if (link.ReadSaveGap(gap) == 1) read.saveGap = gap;
    float k = 0;
    if (link.ReadCoefficientK(k) == 1) read.k = k;
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
