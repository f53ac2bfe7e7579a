#include "publish/MqttSettings.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace qtm {
namespace {

bool SetWhy(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

bool IsHostNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsV6Char(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.' || c == '%';
}

std::optional<int> ParsePort(std::string_view text, std::string_view whole, std::string* why) {
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || port < 1 ||
        port > 65535) {
        SetWhy(why, "bad MQTT address \"" + std::string(whole) + "\": the port must be 1 to 65535");
        return std::nullopt;
    }
    return port;
}

}  // namespace

std::optional<std::pair<std::string, int>> ParseMqttAddress(std::string_view text,
                                                            std::string* why) {
    const std::string quoted = "bad MQTT address \"" + std::string(text) + "\": ";
    if (text.empty()) {
        SetWhy(why, "the MQTT address is empty: give HOST or HOST:PORT");
        return std::nullopt;
    }
    if (text.find("://") != std::string_view::npos) {
        SetWhy(why, quoted + "give HOST or HOST:PORT, without a scheme");
        return std::nullopt;
    }
    std::string_view host;
    std::string_view rest;  // what follows the host: empty or ":port"
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            SetWhy(why, quoted + "an IPv6 address in brackets needs its ']'");
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (host.find(':') == std::string_view::npos) {
            SetWhy(why, quoted + "only an IPv6 address goes in brackets");
            return std::nullopt;
        }
        // A zone ("%eth0") names an interface: any host-name characters.
        const auto zone = host.find('%');
        for (std::size_t i = 0; i < host.size(); ++i) {
            if (i < zone ? !IsV6Char(host[i]) : (i > zone && !IsHostNameChar(host[i]))) {
                SetWhy(why, quoted + "not an IPv6 address in the brackets");
                return std::nullopt;
            }
        }
        if (!rest.empty() && rest.front() != ':') {
            SetWhy(why, quoted + "only \":PORT\" may follow the brackets");
            return std::nullopt;
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) != std::string_view::npos) {
            SetWhy(why, quoted + "write an IPv6 address in brackets, as [::1]:1883");
            return std::nullopt;
        }
        host = text.substr(0, colon);
        if (colon != std::string_view::npos) rest = text.substr(colon);
        for (char c : host) {
            if (!IsHostNameChar(c)) {
                SetWhy(why, quoted + "a host name has letters, digits, '-', '.' and '_' only");
                return std::nullopt;
            }
        }
    }
    if (host.empty()) {
        SetWhy(why, quoted + "no host before the port");
        return std::nullopt;
    }
    int port = kMqttDefaultPort;
    if (!rest.empty()) {
        const auto parsed = ParsePort(rest.substr(1), text, why);
        if (!parsed) return std::nullopt;
        port = *parsed;
    }
    return std::pair{std::string(host), port};
}

std::string FormatMqttAddress(std::string_view host, int port) {
    std::string text;
    if (host.find(':') != std::string_view::npos)
        text.append("[").append(host).append("]");
    else
        text.append(host);
    return text + ":" + std::to_string(port);
}

std::string DefaultMqttClientId() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        std::string_view("localhost").copy(name, 9);
    return "qtm200cli-" + std::string(name) + "-" + std::to_string(::getpid());
}

std::optional<std::string> MqttPasswordFromEnvironment() {
    const char* value = std::getenv(kMqttPasswordVariable);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace qtm
