#include "publish/MosquittoConnection.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <utility>

#include "publish/MqttTopics.h"

namespace qtm {
namespace {

// Long enough not to load a broker, short enough that a broker which lost us without a
// word (a cable pulled) sends the last will within a minute.
constexpr int kKeepAliveSeconds = 30;

bool SetWhy(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// libmosquitto's reason for rc; for a system error, the system's own words.
std::string ErrorText(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO) return std::system_category().message(savedErrno);
    return mosquitto_strerror(rc);
}

// "Connection Refused: not authorised." → "not authorised".
std::string RefusalText(int code) {
    std::string text = mosquitto_connack_string(code);
    const std::string lead = "Connection Refused: ";
    if (text.rfind(lead, 0) == 0) text.erase(0, lead.size());
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

void EnsureMosquittoLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

MosquittoConnection::MosquittoConnection(const MqttSettings& settings, const std::string& clientId,
                                         const std::string& willTopic)
    : m_settings(settings), m_willTopic(willTopic) {
    EnsureMosquittoLibrary();
    m_client = mosquitto_new(clientId.c_str(), true, this);
}

MosquittoConnection::~MosquittoConnection() {
    if (m_client) mosquitto_destroy(m_client);
}

bool MosquittoConnection::CheckSettings(const MqttSettings& settings, const std::string& clientId,
                                        std::string* why) {
    if (settings.caFile) {
        // libmosquitto only says "invalid arguments" for a file it cannot read.
        std::FILE* file = std::fopen(settings.caFile->c_str(), "r");
        if (file == nullptr)
            return SetWhy(why, "cannot read the MQTT CA file " + *settings.caFile + ": " +
                                   std::system_category().message(errno));
        std::fclose(file);
    }
    // Topics are UTF-8 on the wire; the library refuses every message of a prefix that is not.
    if (mosquitto_validate_utf8(settings.prefix.data(), static_cast<int>(settings.prefix.size())) !=
        MOSQ_ERR_SUCCESS)
        return SetWhy(why, "the MQTT topic prefix is not UTF-8 text");
    MosquittoConnection trial(settings, clientId, {});
    return trial.Configure(why);
}

bool MosquittoConnection::Configure(std::string* why) {
    if (m_client == nullptr)
        return SetWhy(
            why, "libmosquitto cannot make a client: " + std::system_category().message(errno));
    mosquitto_connect_callback_set(m_client, &MosquittoConnection::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &MosquittoConnection::OnDisconnect);
    mosquitto_publish_callback_set(m_client, &MosquittoConnection::OnPublish);
    int rc = mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_int_option(m_client, MOSQ_OPT_SEND_MAXIMUM,
                                  static_cast<int>(kMqttSendWindow));
    if (rc != MOSQ_ERR_SUCCESS)
        return SetWhy(why,
                      std::string("libmosquitto refuses the options: ") + mosquitto_strerror(rc));
    if (m_settings.user) {
        rc =
            mosquitto_username_pw_set(m_client, m_settings.user->c_str(),
                                      m_settings.password ? m_settings.password->c_str() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return SetWhy(why, std::string("libmosquitto refuses the MQTT user name: ") +
                                   mosquitto_strerror(rc));
    }
    if (m_settings.caFile) {
        rc = mosquitto_tls_set(m_client, m_settings.caFile->c_str(), nullptr, nullptr, nullptr,
                               nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return SetWhy(why, "libmosquitto refuses the CA file " + *m_settings.caFile + ": " +
                                   mosquitto_strerror(rc));
    } else if (m_settings.tls) {
        rc = mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            return SetWhy(why, std::string("libmosquitto cannot use the system's certificates: ") +
                                   mosquitto_strerror(rc));
    }
    if (!m_willTopic.empty()) {
        rc = mosquitto_will_set(m_client, m_willTopic.c_str(),
                                static_cast<int>(kStatusOffline.size()), kStatusOffline.data(), 1,
                                true);
        if (rc != MOSQ_ERR_SUCCESS)
            return SetWhy(why, "libmosquitto refuses the last will on " + m_willTopic + ": " +
                                   mosquitto_strerror(rc));
    }
    return true;
}

bool MosquittoConnection::Connect(std::string* why) {
    if (!Configure(why)) return false;
    // The name lookup blocks; the connection itself goes on in Loop.
    const int rc = mosquitto_connect_async(m_client, m_settings.host.c_str(), m_settings.port,
                                           kKeepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        m_gone = true;
        return SetWhy(why, ErrorText(rc, savedErrno));
    }
    return true;
}

bool MosquittoConnection::Loop(std::chrono::milliseconds timeout, std::string* why) {
    int rc = MOSQ_ERR_NO_CONN;
    int savedErrno = 0;
    if (!m_gone) {
        rc = mosquitto_loop(m_client, static_cast<int>(timeout.count()), 1);
        savedErrno = errno;
        if (rc == MOSQ_ERR_SUCCESS && !m_gone) return true;
    }
    m_gone = true;
    m_connected = false;
    if (!m_refusal.empty()) return SetWhy(why, m_refusal);
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST)
        return SetWhy(why, "the connection was closed");
    return SetWhy(why, ErrorText(rc, savedErrno));
}

std::optional<int> MosquittoConnection::Publish(const std::string& topic,
                                                const std::string& payload, bool retain,
                                                std::string* why) {
    int mid = 0;
    const int rc = mosquitto_publish(m_client, &mid, topic.c_str(),
                                     static_cast<int>(payload.size()), payload.data(), 1, retain);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        SetWhy(why, ErrorText(rc, savedErrno));
        return std::nullopt;
    }
    return mid;
}

std::vector<int> MosquittoConnection::TakeAcknowledged() {
    return std::exchange(m_acknowledged, {});
}

void MosquittoConnection::Disconnect() {
    if (!m_gone) mosquitto_disconnect(m_client);
    m_gone = true;
    m_connected = false;
}

void MosquittoConnection::OnConnect(struct mosquitto*, void* self, int code) {
    auto* connection = static_cast<MosquittoConnection*>(self);
    if (code == 0) {
        connection->m_connected = true;
    } else {
        connection->m_refusal = RefusalText(code);
        connection->m_gone = true;
    }
}

void MosquittoConnection::OnDisconnect(struct mosquitto*, void* self, int) {
    auto* connection = static_cast<MosquittoConnection*>(self);
    connection->m_gone = true;
    connection->m_connected = false;
}

void MosquittoConnection::OnPublish(struct mosquitto*, void* self, int mid) {
    static_cast<MosquittoConnection*>(self)->m_acknowledged.push_back(mid);
}

}  // namespace qtm
