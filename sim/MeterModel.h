// The fake meter's state machine: request bytes in, reply bytes out, no I/O.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/MeterState.h"

namespace qtmsim {

enum class Family { Qtx200, Qtm300 };
enum class Fault { None, Silent, Short, Garbage, BadCrc, HangUp };

// What the programs' built-in meters hold: twenty pages, enough to watch an import's
// progress, over in a few seconds.
inline constexpr int kDemoStoredRecords = 300;

struct MeterConfig {
    std::string model = "QTX-200P";
    Family family = Family::Qtx200;
    bool rs485 = false;        // answer Modbus RTU frames instead of VK frames
    std::uint8_t address = 1;  // bus address on RS-485
    // RS-485: further meters on the same line, each a meter of its own at its address, with
    // the serial number counted on from this one's by the distance of the addresses.
    std::vector<std::uint8_t> moreAddresses{};
    int records = 0;  // stored readings in the record memory
    Fault fault = Fault::None;
    std::string serial = "24050017";
    std::string band = "400-700nm";
    std::string range = "0-2000";
    float calValue = 2.5f;
    float k = 1.0f;
    std::int32_t saveGap = 1;  // seconds
    double level = 0;          // level of the power reading; 0 picks one that suits the model
};

// One request frame as the meter recognised it.
struct Request {
    std::vector<std::uint8_t> bytes;
    double atSeconds = 0;  // time since the simulator started
};

using ReplyOverride =
    std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>&)>;

// One request and what the meter does about it.
struct Exchange {
    Request request;
    std::vector<std::uint8_t> reply;  // empty: nothing is sent
    bool hangUp = false;              // the meter drops the line instead of answering
};

// The meter as a state machine. Feed it received bytes with the time they arrived;
// it splits them into requests (skipping junk a byte at a time, and dropping a frame
// left unfinished for longer than kStaleFrameSeconds) and answers each one.
//
// Family: a "QTM300" meter answers its own 8C frames and the VK commands other than
// the VK identification; a QTX200 meter ignores the 8C frames. With rs485 set only
// Modbus RTU frames are understood.
//
// Faults: Silent answers nothing and changes nothing; Short sends the first half of
// each reply; Garbage sends replies of the right length with every byte altered (so
// "VK" and CRCs do not match); BadCrc spoils the CRC of Modbus replies; HangUp asks
// the binding to drop the line at the next request.
class MeterModel {
public:
    explicit MeterModel(MeterConfig config = {});

    std::vector<Exchange> Feed(const std::uint8_t* data, std::size_t size, double nowSeconds);
    std::vector<Exchange> Feed(const std::vector<std::uint8_t>& bytes, double nowSeconds) {
        return Feed(bytes.data(), bytes.size(), nowSeconds);
    }

    // Answers one whole request frame (as Feed would once it has split it off).
    Exchange Handle(const std::vector<std::uint8_t>& frame, double nowSeconds);

    void SetFault(Fault fault) { m_fault = fault; }
    Fault GetFault() const { return m_fault; }

    const MeterConfig& Config() const { return m_config; }
    MeterState& State() { return m_state; }
    const MeterState& State() const { return m_state; }

    // Bytes received but not yet part of a whole request.
    std::size_t PendingBytes() const { return m_pending.size(); }

    static constexpr double kStaleFrameSeconds = 0.5;

private:
    std::vector<std::uint8_t> ApplyFault(std::vector<std::uint8_t> reply) const;

    MeterConfig m_config;
    MeterState m_state;
    Fault m_fault;
    std::vector<std::uint8_t> m_pending;
    double m_lastByteAt = 0;
};

}  // namespace qtmsim
