// Sends a live run's reading objects to an MQTT broker: one JSON object per reading on
// PREFIX/SERIAL/reading, a retained status with the connection's last will, and Home
// Assistant discovery configs when asked. It knows nothing of meters beyond what AddMeter
// tells it, never makes the caller wait for the network, and keeps readings in a bounded
// queue while the broker is away.
//
// Several meters share one connection, and a connection has one last will: it is on the
// status topic of the first meter added. That meter's status says "offline" however the
// logger ends; the discovery configs of the other meters list that topic too
// ("availability_mode": "all"), so a logger that is killed shows every meter it served
// unavailable in Home Assistant. A clean Finish puts "offline" on every meter's status.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "publish/DropOldestQueue.h"
#include "publish/MqttSettings.h"
#include "publish/MqttTopics.h"
#include "publish/ReconnectBackoff.h"
#include "service/ReadingObject.h"

namespace qtm {

class MosquittoConnection;

enum class MqttEventKind {
    Connected,  // "connected to HOST:PORT"
    Lost,       // the broker could not be reached, refused us or went away; once per outage
    QueueFull,  // the first reading of a burst was dropped
    Dropped,    // a burst is over: how many readings it dropped
};

// A change the user is told of, as a sentence without the program's name.
struct MqttEvent {
    MqttEventKind kind;
    std::string text;
};

struct MqttCounters {
    std::uint64_t delivered = 0;  // readings the broker acknowledged
    std::uint64_t dropped = 0;    // readings dropped because the queue was full
    std::size_t queued = 0;       // readings waiting to be sent
    std::size_t inFlight = 0;     // readings sent and not yet acknowledged
    std::uint64_t connectAttempts = 0;
    bool connected = false;
};

class MqttPublisher {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::size_t kSendWindow = kMqttSendWindow;

    // clock paces the reconnection attempts and Finish's wait; it is called from the
    // network thread and from Finish's.
    explicit MqttPublisher(MqttSettings settings, Clock clock = std::chrono::steady_clock::now);
    // Stops at once when Finish was not called: the broker then sends the last will.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Set before Start. Called on the network thread, one event at a time.
    void OnEvent(std::function<void(const MqttEvent&)> callback);

    // Checks the settings and starts the network thread, which connects. A broker that
    // cannot be reached is no failure: readings wait in the queue. False with a sentence
    // when the settings cannot work at all (no host, a CA file that cannot be read, a
    // topic prefix with wildcards, options libmosquitto refuses).
    bool Start(std::string* why);

    // A meter takes part: its retained status "online" (and, with discovery, its configs)
    // go out now and on every reconnection, since a lost connection's will said
    // "offline". Add the first meter before Start, so the first connection carries the
    // will; a first meter added later makes the publisher reconnect to set it.
    void AddMeter(const std::string& serial, const std::string& model, std::string_view powerUnit,
                  std::string_view temperatureUnit);

    // Queues reading for PREFIX/SERIAL/reading (QoS 1, not retained) as its JSON object
    // (without the line end a file gives it). A reading without a serial goes on the first
    // meter's topic. Takes only a lock the network thread holds for moments.
    void Publish(ReadingColumns columns, const ReadingObject& reading);

    // The clean end: the queue goes out, then "offline" retained on every meter's status,
    // then DISCONNECT. Waits at most wait (by the clock) for all of it; what is left then is
    // given up and the connection dropped, so the broker sends the will. Returns how many
    // readings were not delivered (queued or not acknowledged). Later calls return the
    // same without waiting.
    std::size_t Finish(std::chrono::milliseconds wait);

    MqttCounters Counters() const;

private:
    struct Message {
        std::string topic;
        std::string payload;
    };
    struct InFlight {
        int mid;
        Message message;
    };

    void Run();
    void TryConnect(const std::string& willTopic, ReconnectBackoff::TimePoint now);
    void OnConnected();
    void Announce(const std::string& willTopic);
    void SendReadings();
    bool FinishOnConnection();
    void TakeAcknowledged();
    // Drops m_link and puts its unacknowledged readings back; tell: the user hears of it,
    // once per outage.
    void ConnectionLost(const std::string& why, ReconnectBackoff::TimePoint now, bool tell = true);
    void ReportBursts();
    void WaitForWork(std::chrono::milliseconds timeout);
    void Emit(MqttEventKind kind, std::string text);

    const MqttSettings m_settings;
    const Clock m_clock;
    const std::string m_broker;  // "HOST:PORT" for messages
    std::string m_clientId;
    std::function<void(const MqttEvent&)> m_onEvent;

    // Shared between the callers and the network thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    DropOldestQueue<Message> m_queue;
    std::deque<InFlight> m_inFlight;  // readings in the order they were sent
    std::vector<MqttMeter> m_meters;
    std::uint64_t m_delivered = 0;
    std::uint64_t m_attempts = 0;
    bool m_connected = false;
    bool m_wake = false;
    bool m_finishing = false;
    bool m_stop = false;
    bool m_done = false;

    // The network thread's own.
    std::unique_ptr<MosquittoConnection> m_link;
    ReconnectBackoff m_backoff;
    ReconnectBackoff::TimePoint m_attemptStart{};
    bool m_linkUp = false;           // m_link's CONNACK has been seen
    bool m_downReported = false;     // this outage has been told
    bool m_everOnline = false;       // some meter's "online" went out: Finish takes it back
    bool m_offlineSent = false;      // on this connection, during Finish
    bool m_quietConnect = false;     // a reconnection of our own: nothing to tell
    std::size_t m_announced = 0;     // meters announced on this connection
    std::set<int> m_pendingOffline;  // message ids of the "offline" statuses

    std::thread m_thread;
};

}  // namespace qtm
