#include "publish/MqttPublisher.h"

#include <utility>

#include "publish/MosquittoConnection.h"

namespace qtm {
namespace {

// How long the network thread sleeps when it has nothing to do; also how soon it sees a
// new reading and how finely the clock paces reconnections.
constexpr std::chrono::milliseconds kIdleWait{50};
// A broker that takes a TCP connection but never answers the CONNACK.
constexpr std::chrono::seconds kConnectTimeout{10};

bool SetWhy(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

}  // namespace

MqttPublisher::MqttPublisher(MqttSettings settings, Clock clock)
    : m_settings(std::move(settings)),
      m_clock(std::move(clock)),
      m_broker(FormatMqttAddress(m_settings.host, m_settings.port)),
      m_clientId(m_settings.clientId),
      m_queue(m_settings.queueCapacity) {}

MqttPublisher::~MqttPublisher() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void MqttPublisher::OnEvent(std::function<void(const MqttEvent&)> callback) {
    m_onEvent = std::move(callback);
}

bool MqttPublisher::Start(std::string* why) {
    if (m_thread.joinable() || m_finishing)
        return SetWhy(why, "the MQTT publisher has been started already");
    if (m_settings.host.empty()) return SetWhy(why, "no MQTT broker named");
    if (m_settings.port < 1 || m_settings.port > 65535)
        return SetWhy(
            why, "bad MQTT port " + std::to_string(m_settings.port) + ": a port is 1 to 65535");
    if (!CheckTopicPrefix(m_settings.prefix, why)) return false;
    if (m_settings.password && !m_settings.user)
        return SetWhy(why, "an MQTT password needs a user name");
    if (m_clientId.empty()) m_clientId = DefaultMqttClientId();
    if (!MosquittoConnection::CheckSettings(m_settings, m_clientId, why)) return false;
    m_thread = std::thread(&MqttPublisher::Run, this);
    return true;
}

void MqttPublisher::AddMeter(const std::string& serial, const std::string& model,
                             std::string_view powerUnit, std::string_view temperatureUnit) {
    {
        std::lock_guard lock(m_mutex);
        if (m_finishing) return;
        for (const auto& meter : m_meters)
            if (SerialTopicLevel(meter.serial) == SerialTopicLevel(serial)) return;
        m_meters.push_back({serial, model, std::string(powerUnit), std::string(temperatureUnit)});
        m_wake = true;
    }
    m_cv.notify_all();
}

void MqttPublisher::Publish(ReadingColumns columns, const ReadingObject& reading) {
    Message message;
    AppendReadingJson(message.payload, columns, reading);
    if (!message.payload.empty() && message.payload.back() == '\n') message.payload.pop_back();
    {
        std::lock_guard lock(m_mutex);
        if (m_finishing) return;
        const std::string& serial =
            reading.serial.empty() && !m_meters.empty() ? m_meters.front().serial : reading.serial;
        message.topic = ReadingTopic(m_settings.prefix, serial);
        m_queue.PushBack(std::move(message));
        m_wake = true;
    }
    m_cv.notify_all();
}

std::size_t MqttPublisher::Finish(std::chrono::milliseconds wait) {
    {
        std::unique_lock lock(m_mutex);
        m_finishing = true;
        if (!m_thread.joinable()) return m_queue.Size() + m_inFlight.size();
        m_wake = true;
        m_cv.notify_all();
        const auto deadline = m_clock() + wait;
        while (!m_done && m_clock() < deadline)
            m_cv.wait_for(lock, kIdleWait);
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
    std::lock_guard lock(m_mutex);
    return m_queue.Size() + m_inFlight.size();
}

MqttCounters MqttPublisher::Counters() const {
    std::lock_guard lock(m_mutex);
    MqttCounters counters;
    counters.delivered = m_delivered;
    counters.dropped = m_queue.Dropped();
    counters.queued = m_queue.Size();
    counters.inFlight = m_inFlight.size();
    counters.connectAttempts = m_attempts;
    counters.connected = m_connected;
    return counters;
}

void MqttPublisher::Run() {
    for (;;) {
        bool finishing = false;
        bool nothingLeft = false;
        bool nothingInFlight = false;
        std::string willTopic;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) break;
            finishing = m_finishing;
            nothingInFlight = m_inFlight.empty();
            nothingLeft = m_queue.Empty() && nothingInFlight;
            if (!m_meters.empty())
                willTopic = StatusTopic(m_settings.prefix, m_meters.front().serial);
        }
        ReportBursts();
        const auto now = m_clock();
        // Nothing to deliver and no "online" of ours to take back: done at once.
        if (finishing && nothingLeft && !m_everOnline) {
            if (m_link && m_link->Connected()) m_link->Disconnect();
            break;
        }
        if (!m_link) {
            if (m_backoff.Due(now))
                TryConnect(willTopic, now);
            else
                WaitForWork(kIdleWait);
            continue;
        }
        if (m_link->Connected()) {
            if (!m_linkUp) OnConnected();
            if (!willTopic.empty() && m_link->WillTopic().empty()) {
                // The first meter came after the connection: connect again with its will,
                // once what is in flight is acknowledged (so nothing goes twice).
                if (nothingInFlight) {
                    m_link->Disconnect();
                    ConnectionLost("", now, false);
                    m_backoff.DueNow(now);
                    m_quietConnect = true;
                    continue;
                }
            } else {
                Announce(willTopic);
                SendReadings();
                if (finishing && FinishOnConnection()) break;
            }
        } else if (now - m_attemptStart > kConnectTimeout) {
            ConnectionLost("no answer from the broker", now);
            continue;
        }
        std::string why;
        const bool alive = m_link->Loop(kIdleWait, &why);
        TakeAcknowledged();
        if (!alive) ConnectionLost(why, now);
    }
    // A connection still open here was not ended cleanly: dropping it without a
    // DISCONNECT makes the broker send the will.
    m_link.reset();
    std::lock_guard lock(m_mutex);
    m_connected = false;
    m_done = true;
    m_cv.notify_all();
}

void MqttPublisher::TryConnect(const std::string& willTopic, ReconnectBackoff::TimePoint now) {
    {
        std::lock_guard lock(m_mutex);
        ++m_attempts;
    }
    m_link = std::make_unique<MosquittoConnection>(m_settings, m_clientId, willTopic);
    m_linkUp = false;
    m_attemptStart = now;
    std::string why;
    if (!m_link->Connect(&why)) ConnectionLost(why, now);
}

void MqttPublisher::OnConnected() {
    m_linkUp = true;
    m_backoff.Connected();
    m_downReported = false;
    m_announced = 0;
    m_offlineSent = false;
    m_pendingOffline.clear();
    {
        std::lock_guard lock(m_mutex);
        m_connected = true;
    }
    if (!std::exchange(m_quietConnect, false))
        Emit(MqttEventKind::Connected, "connected to " + m_broker);
}

void MqttPublisher::Announce(const std::string& willTopic) {
    std::vector<MqttMeter> fresh;
    {
        std::lock_guard lock(m_mutex);
        fresh.assign(m_meters.begin() + static_cast<std::ptrdiff_t>(m_announced), m_meters.end());
    }
    // A message the library does not take means the connection is going: Loop tells.
    for (const auto& meter : fresh) {
        if (m_settings.discovery) {
            for (const auto quantity : {MeterQuantity::Power, MeterQuantity::Temperature})
                m_link->Publish(DiscoveryTopic(meter.serial, quantity),
                                DiscoveryConfig(m_settings.prefix, meter, quantity, willTopic),
                                true, nullptr);
        }
        m_link->Publish(StatusTopic(m_settings.prefix, meter.serial), std::string(kStatusOnline),
                        true, nullptr);
        m_everOnline = true;
        ++m_announced;
    }
}

void MqttPublisher::SendReadings() {
    std::vector<Message> batch;
    {
        std::lock_guard lock(m_mutex);
        while (m_inFlight.size() + batch.size() < kSendWindow) {
            auto message = m_queue.PopFront();
            if (!message) break;
            batch.push_back(std::move(*message));
        }
    }
    if (batch.empty()) return;
    std::vector<InFlight> sent;
    std::size_t taken = 0;
    for (; taken < batch.size(); ++taken) {
        const auto mid = m_link->Publish(batch[taken].topic, batch[taken].payload, false, nullptr);
        if (!mid) break;
        sent.push_back({*mid, std::move(batch[taken])});
    }
    std::lock_guard lock(m_mutex);
    for (auto& entry : sent)
        m_inFlight.push_back(std::move(entry));
    if (taken < batch.size()) {
        batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(taken));
        m_queue.PushFront(std::move(batch));
    }
}

bool MqttPublisher::FinishOnConnection() {
    std::vector<MqttMeter> meters;
    {
        std::lock_guard lock(m_mutex);
        if (!m_queue.Empty() || !m_inFlight.empty()) return false;
        meters = m_meters;
    }
    if (!m_offlineSent) {
        for (const auto& meter : meters) {
            const auto mid = m_link->Publish(StatusTopic(m_settings.prefix, meter.serial),
                                             std::string(kStatusOffline), true, nullptr);
            if (mid) m_pendingOffline.insert(*mid);
        }
        m_offlineSent = true;
        return false;
    }
    if (!m_pendingOffline.empty()) return false;
    m_link->Disconnect();
    m_link.reset();
    return true;
}

void MqttPublisher::TakeAcknowledged() {
    const auto mids = m_link->TakeAcknowledged();
    if (mids.empty()) return;
    std::lock_guard lock(m_mutex);
    for (const int mid : mids) {
        if (m_pendingOffline.erase(mid) > 0) continue;
        for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
            if (it->mid == mid) {
                m_inFlight.erase(it);
                ++m_delivered;
                break;
            }
        }
    }
}

void MqttPublisher::ConnectionLost(const std::string& why, ReconnectBackoff::TimePoint now,
                                   bool tell) {
    const bool wasUp = m_linkUp;
    const bool refused = m_link && m_link->Refused();
    m_link.reset();
    m_linkUp = false;
    m_backoff.Failed(now);
    {
        // What was sent and not acknowledged goes again first, in its order (the broker
        // may see a reading twice: QoS 1 delivers at least once).
        std::lock_guard lock(m_mutex);
        m_connected = false;
        std::vector<Message> back;
        for (auto& entry : m_inFlight)
            back.push_back(std::move(entry.message));
        m_inFlight.clear();
        m_queue.PushFront(std::move(back));
    }
    if (!tell) return;
    m_quietConnect = false;  // the user hears of this outage, so of its end too
    if (m_downReported) return;
    m_downReported = true;
    std::string text;
    if (wasUp)
        text = "lost the broker " + m_broker + ": " + why;
    else if (refused)
        text = "the broker " + m_broker + " refused the connection: " + why;
    else
        text = "cannot reach the broker " + m_broker + ": " + why;
    Emit(MqttEventKind::Lost, text + "; readings wait in the queue");
}

void MqttPublisher::ReportBursts() {
    bool started = false;
    std::optional<std::uint64_t> ended;
    {
        std::lock_guard lock(m_mutex);
        started = m_queue.TakeBurstStart();
        ended = m_queue.TakeEndedBurst();
    }
    if (started)
        Emit(MqttEventKind::QueueFull,
             "the MQTT queue is full (" + std::to_string(m_queue.Capacity()) +
                 " readings): the oldest readings are dropped until the broker takes them");
    if (ended)
        Emit(MqttEventKind::Dropped,
             "dropped " + std::to_string(*ended) + " readings the broker could not take in time");
}

void MqttPublisher::WaitForWork(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, timeout, [this] { return m_stop || m_wake; });
    m_wake = false;
}

void MqttPublisher::Emit(MqttEventKind kind, std::string text) {
    if (m_onEvent) m_onEvent(MqttEvent{kind, std::move(text)});
}

}  // namespace qtm
