#include "publish/MqttTopics.h"

#include "service/JsonText.h"

namespace qtm {
namespace {

constexpr std::string_view kDiscoveryPrefix = "homeassistant";
constexpr std::string_view kNode = "qtm200_";  // ours among a broker's nodes and ids

std::string_view QuantityKey(MeterQuantity quantity) {
    return quantity == MeterQuantity::Power ? "power" : "temperature";
}

bool SetWhy(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

std::string JsonArray(std::string_view firstJson, std::string_view secondJson = {}) {
    std::string text = "[";
    text.append(firstJson);
    if (!secondJson.empty()) text.append(",").append(secondJson);
    return text + "]";
}

}  // namespace

std::string SerialTopicLevel(std::string_view serial) {
    if (serial.empty()) return "_";
    std::string level(serial);
    for (char& c : level) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!kept) c = '_';
    }
    return level;
}

bool CheckTopicPrefix(std::string_view prefix, std::string* why) {
    const std::string quoted = "bad MQTT topic prefix \"" + std::string(prefix) + "\": ";
    if (prefix.empty()) return SetWhy(why, "the MQTT topic prefix is empty");
    if (prefix.find_first_of("+#") != std::string_view::npos)
        return SetWhy(why, quoted + "'+' and '#' are wildcards, not names");
    if (prefix.find('\0') != std::string_view::npos)
        return SetWhy(why, quoted + "it holds a NUL character");
    if (prefix.front() == '$') return SetWhy(why, quoted + "topics with '$' are the broker's");
    if (prefix.front() == '/' || prefix.back() == '/' ||
        prefix.find("//") != std::string_view::npos)
        return SetWhy(why, quoted + "it has an empty level");
    return true;
}

std::string ReadingTopic(std::string_view prefix, std::string_view serial) {
    return std::string(prefix) + "/" + SerialTopicLevel(serial) + "/reading";
}

std::string StatusTopic(std::string_view prefix, std::string_view serial) {
    return std::string(prefix) + "/" + SerialTopicLevel(serial) + "/status";
}

std::string DiscoveryTopic(std::string_view serial, MeterQuantity quantity) {
    std::string topic(kDiscoveryPrefix);
    topic.append("/sensor/").append(kNode).append(SerialTopicLevel(serial));
    return topic.append("/").append(QuantityKey(quantity)).append("/config");
}

std::string DiscoveryConfig(std::string_view prefix, const MqttMeter& meter, MeterQuantity quantity,
                            std::string_view willTopic) {
    const std::string node = std::string(kNode) + SerialTopicLevel(meter.serial);
    const std::string key(QuantityKey(quantity));
    const std::string status = StatusTopic(prefix, meter.serial);

    JsonObject device;
    device.Add("identifiers", JsonArray(JsonString(node)))
        .AddString("name", meter.model + " " + meter.serial)
        .AddString("model", meter.model)
        .AddString("serial_number", meter.serial)
        .AddString("manufacturer", "QTX");

    JsonObject config;
    config.AddString("name", quantity == MeterQuantity::Power ? "Power" : "Temperature")
        .AddString("unique_id", node + "_" + key)
        .AddString("object_id", node + "_" + key)
        .AddString("state_topic", ReadingTopic(prefix, meter.serial))
        .AddString("value_template", "{{ value_json." + key + " }}")
        .AddString("unit_of_measurement",
                   quantity == MeterQuantity::Power ? meter.powerUnit : meter.temperatureUnit);
    // The power's kind (illuminance, irradiance, ...) follows the model; Home Assistant
    // refuses a device class whose units do not match, so only temperature names one.
    if (quantity == MeterQuantity::Temperature) config.AddString("device_class", "temperature");
    config.AddString("state_class", "measurement");
    if (willTopic.empty() || willTopic == status) {
        config.AddString("availability_topic", status)
            .AddString("payload_available", kStatusOnline)
            .AddString("payload_not_available", kStatusOffline);
    } else {
        // Home Assistant takes either one availability topic or this list, not both.
        config
            .Add("availability", JsonArray(JsonObject().AddString("topic", status).Text(),
                                           JsonObject().AddString("topic", willTopic).Text()))
            .AddString("availability_mode", "all");
    }
    config.Add("device", device.Text());
    return config.Text();
}

}  // namespace qtm
