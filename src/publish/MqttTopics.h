// The topics a meter has on the broker and the retained texts on them: PREFIX/SERIAL/reading
// (one reading object per message), PREFIX/SERIAL/status ("online"/"offline") and, when
// asked for, the Home Assistant discovery configs that make a meter appear there unasked.
#pragma once

#include <string>
#include <string_view>

namespace qtm {

inline constexpr std::string_view kStatusOnline = "online";
inline constexpr std::string_view kStatusOffline = "offline";

// A meter as the broker's consumers are told of it.
struct MqttMeter {
    std::string serial;  // as the meter reports it
    std::string model;
    std::string powerUnit;        // the catalogue's unit of the model's power
    std::string temperatureUnit;  // "°C"
};

enum class MeterQuantity { Power, Temperature };

// serial as one topic level and as a Home Assistant id: letters, digits, '-' and '_' kept,
// anything else '_' ('/', '+' and '#' would change the topic's meaning); "_" for none.
std::string SerialTopicLevel(std::string_view serial);
// True when prefix can start our topics: not empty, no wildcard, no empty level, not a
// broker's own "$" topic. Otherwise false with a sentence in why.
bool CheckTopicPrefix(std::string_view prefix, std::string* why);

std::string ReadingTopic(std::string_view prefix, std::string_view serial);
std::string StatusTopic(std::string_view prefix, std::string_view serial);
// "homeassistant/sensor/qtm200_SERIAL/power/config" (or .../temperature/config).
std::string DiscoveryTopic(std::string_view serial, MeterQuantity quantity);
// The config of one of meter's sensors: state and value template, unit, unique id, device
// and availability. willTopic is the status topic the connection's last will is on: a
// meter whose own status topic it is not is available only while both say "online", so a
// logger that dies shows every one of its meters unavailable.
std::string DiscoveryConfig(std::string_view prefix, const MqttMeter& meter, MeterQuantity quantity,
                            std::string_view willTopic);

}  // namespace qtm
