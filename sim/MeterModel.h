// The fake meter's state machine: request bytes in, reply bytes out, no I/O.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qtmsim {

enum class Family { Qtx200, Qtm300 };
enum class Fault { None, Silent, Short, Garbage, BadCrc, HangUp };

struct MeterConfig {
    std::string model = "QTX-200P";
    Family family = Family::Qtx200;
    bool rs485 = false;         // answer Modbus RTU frames instead of VK frames
    std::uint8_t address = 1;   // bus address on RS-485
    int records = 0;            // stored readings in the record memory
    Fault fault = Fault::None;
};

// One request frame as the meter recognised it.
struct Request {
    std::vector<std::uint8_t> bytes;
    double atSeconds = 0;  // time since the simulator started
};

using ReplyOverride =
    std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>&)>;

}  // namespace qtmsim
