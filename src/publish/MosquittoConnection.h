// One connection to the broker through libmosquitto, driven by the publisher's network
// thread alone (its callbacks run inside Loop on that thread, so it needs no lock). A new
// one is made for every attempt: nothing of a lost connection lingers in the library, and
// what was not acknowledged is the publisher's to send again, in its order.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "publish/MqttSettings.h"

struct mosquitto;

namespace qtm {

// libmosquitto's set-up, once per process (the tests' own clients share it).
void EnsureMosquittoLibrary();

class MosquittoConnection {
public:
    // willTopic empty: a connection without a last will.
    MosquittoConnection(const MqttSettings& settings, const std::string& clientId,
                        const std::string& willTopic);
    // Drops the connection without a DISCONNECT, so the broker sends the last will.
    ~MosquittoConnection();
    MosquittoConnection(const MosquittoConnection&) = delete;
    MosquittoConnection& operator=(const MosquittoConnection&) = delete;

    // Whether libmosquitto takes the settings at all (a readable CA file, the user name),
    // tried on a client of its own before anything runs; false with a sentence.
    static bool CheckSettings(const MqttSettings& settings, const std::string& clientId,
                              std::string* why);

    // Starts to connect without waiting for the broker; false with the reason.
    bool Connect(std::string* why);
    // Runs the network for at most timeout. False once the connection is gone, with the
    // reason (the broker's refusal, the system's error).
    bool Loop(std::chrono::milliseconds timeout, std::string* why);
    // The broker took the connection (CONNACK 0).
    bool Connected() const { return m_connected; }
    // The broker turned the connection down (Loop's reason is then its words).
    bool Refused() const { return !m_refusal.empty(); }
    // Hands a QoS 1 message to the library; its message id, or nothing with the reason.
    std::optional<int> Publish(const std::string& topic, const std::string& payload, bool retain,
                               std::string* why);
    // The message ids acknowledged (PUBACK) since the last call.
    std::vector<int> TakeAcknowledged();
    // A clean end: DISCONNECT, after which the broker keeps the last will to itself.
    void Disconnect();
    const std::string& WillTopic() const { return m_willTopic; }

private:
    static void OnConnect(struct mosquitto*, void* self, int code);
    static void OnDisconnect(struct mosquitto*, void* self, int code);
    static void OnPublish(struct mosquitto*, void* self, int mid);
    bool Configure(std::string* why);

    const MqttSettings& m_settings;
    std::string m_willTopic;
    struct mosquitto* m_client = nullptr;
    bool m_connected = false;
    bool m_gone = false;
    std::string m_refusal;  // the broker's reason when it refused the connection
    std::vector<int> m_acknowledged;
};

}  // namespace qtm
