// What the MQTT publisher needs to know of its broker and topics, and the reading of the
// broker's address as a user writes it ("host", "host:port", "[::1]:port").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qtm {

inline constexpr int kMqttDefaultPort = 1883;
// Readings that wait while the broker is away; a day of one reading every ten seconds.
inline constexpr std::size_t kMqttQueueCapacity = 10000;
// The most readings sent and not yet acknowledged: bounds what a lost connection sends
// again, and what the library holds for us.
inline constexpr std::size_t kMqttSendWindow = 100;
// The environment variable the password comes from: a command line is visible to every
// user of the machine.
inline constexpr const char* kMqttPasswordVariable = "QTM200_MQTT_PASSWORD";

struct MqttSettings {
    std::string host;
    int port = kMqttDefaultPort;
    std::string prefix = "qtm200";  // topics PREFIX/SERIAL/reading and PREFIX/SERIAL/status
    std::optional<std::string> user;
    std::optional<std::string> password;  // from kMqttPasswordVariable, never the command line
    bool tls = false;
    // The CA certificates that vouch for the broker (implies TLS); with TLS and none, the
    // system's certificate store.
    std::optional<std::string> caFile;
    bool discovery = false;  // Home Assistant discovery configs
    std::string clientId;    // empty: DefaultMqttClientId()
    std::size_t queueCapacity = kMqttQueueCapacity;
};

// "host", "host:port" or "[v6 address]:port" into host (without brackets) and port
// (kMqttDefaultPort when none is written); nothing, with a sentence in why, when bad.
std::optional<std::pair<std::string, int>> ParseMqttAddress(std::string_view text,
                                                            std::string* why);
// "host:port", with brackets around an IPv6 address, as messages name the broker.
std::string FormatMqttAddress(std::string_view host, int port);
// "qtm200cli-<hostname>-<pid>": a broker drops an older connection that has the same id,
// so two loggers on one machine must not share one.
std::string DefaultMqttClientId();
// The password in kMqttPasswordVariable; nothing when the variable is not set.
std::optional<std::string> MqttPasswordFromEnvironment();

}  // namespace qtm
