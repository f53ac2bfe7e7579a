#include "publish/MqttPublisher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>

#include "device/TempDir.h"
#include "publish/TestBroker.h"

namespace qtm {
namespace {

using namespace std::chrono;
using test::Received;
using test::TempDir;
using test::TestBroker;
using test::TestSubscriber;

// A clock the test moves by hand: reconnections happen when the test says so.
struct FakeClock {
    std::atomic<std::int64_t> ms{0};
    MqttPublisher::Clock Fn() {
        return [this] { return steady_clock::time_point{} + milliseconds(ms.load()); };
    }
};

struct Events {
    std::mutex mutex;
    std::vector<MqttEvent> seen;
    std::function<void(const MqttEvent&)> Recorder() {
        return [this](const MqttEvent& event) {
            std::lock_guard lock(mutex);
            seen.push_back(event);
        };
    }
    // The texts of the events of kind, one line each.
    std::vector<std::string> Of(MqttEventKind kind) {
        std::lock_guard lock(mutex);
        std::vector<std::string> texts;
        for (const auto& event : seen)
            if (event.kind == kind) texts.push_back(event.text);
        return texts;
    }
};

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(milliseconds(10));
    return done();
}

MqttSettings SettingsFor(int port, std::string prefix) {
    MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.prefix = std::move(prefix);
    return settings;
}

ReadingObject ReadingOf(std::int64_t n, const std::string& serial) {
    ReadingObject reading;
    reading.n = n;
    reading.time = system_clock::time_point{} + seconds(1'800'000'000 + n);
    reading.power = static_cast<float>(n) * 0.25f;
    reading.unit = "lx";
    reading.temperature = 21.5f;
    reading.serial = serial;
    return reading;
}

void PublishReadings(MqttPublisher& publisher, int from, int to, const std::string& serial) {
    for (int n = from; n <= to; ++n)
        publisher.Publish(ReadingColumns::UsbLive(), ReadingOf(n, serial));
}

std::string JsonOf(std::int64_t n, const std::string& serial) {
    std::string text;
    AppendReadingJson(text, ReadingColumns::UsbLive(), ReadingOf(n, serial));
    text.pop_back();  // the line end is a file's, not a message's
    return text;
}

TEST(MqttPublisherTest, ReadingsGoInOrderWithQos1BetweenOnlineAndOfflineAndConfigsStay) {
    TempDir dir;
    TestBroker broker(dir.Path(), test::FreeLoopbackPort());
    ASSERT_TRUE(broker.Start());
    TestSubscriber live(broker.Port(), {"t/S1/reading", "t/S1/status"});
    ASSERT_TRUE(live.Ready());

    auto settings = SettingsFor(broker.Port(), "t");
    settings.discovery = true;
    MqttPublisher publisher(settings);
    publisher.AddMeter("S1", "QTM200", "lx", "°C");
    std::string why;
    ASSERT_TRUE(publisher.Start(&why)) << why;
    const int count = static_cast<int>(MqttPublisher::kSendWindow) * 5 / 2;  // several windows
    PublishReadings(publisher, 1, count, "S1");
    EXPECT_EQ(publisher.Finish(seconds(5)), 0u);
    EXPECT_EQ(publisher.Counters().delivered, static_cast<std::uint64_t>(count));

    const auto got = live.WaitFor(count + 2);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(count + 2));
    EXPECT_EQ(got.front().topic + " " + got.front().payload, "t/S1/status online");
    for (int n = 1; n <= count; ++n) {
        const Received& r = got[static_cast<std::size_t>(n)];
        ASSERT_EQ(r.topic, "t/S1/reading");
        ASSERT_EQ(r.payload, JsonOf(n, "S1")) << "in order, as the reading object";
        ASSERT_EQ(r.qos, 1);
    }
    EXPECT_EQ(got.back().topic + " " + got.back().payload, "t/S1/status offline");

    // What a consumer that comes later finds.
    const auto kept = TestSubscriber(broker.Port(), {"t/S1/status", "homeassistant/#"}).WaitFor(3);
    ASSERT_EQ(kept.size(), 3u);
    const MqttMeter meter{"S1", "QTM200", "lx", "°C"};
    for (const auto& r : kept) {
        EXPECT_TRUE(r.retain) << r.topic;
        const auto quantity = r.topic == DiscoveryTopic("S1", MeterQuantity::Power)
                                  ? MeterQuantity::Power
                                  : MeterQuantity::Temperature;
        EXPECT_EQ(r.payload, r.topic == "t/S1/status"
                                 ? "offline"
                                 : DiscoveryConfig("t", meter, quantity, "t/S1/status"));
    }
}

// The broker is away at the start; attempts follow the injected clock, the outage is told
// once, the full queue drops its oldest and the rest goes out in order once it is back.
TEST(MqttPublisherTest, BrokerDownAtStartQueueKeepsTheNewestAndSendsThemInOrderWhenBack) {
    TempDir dir;
    const int port = test::FreeLoopbackPort();
    FakeClock clock;
    Events events;
    auto settings = SettingsFor(port, "down");
    settings.queueCapacity = 5;
    MqttPublisher publisher(settings, clock.Fn());
    publisher.OnEvent(events.Recorder());
    publisher.AddMeter("D4", "QTM200", "lx", "°C");
    std::string why;
    ASSERT_TRUE(publisher.Start(&why)) << why;
    ASSERT_TRUE(WaitUntil([&] { return !events.Of(MqttEventKind::Lost).empty(); }));
    PublishReadings(publisher, 1, 8, "D4");
    ASSERT_TRUE(WaitUntil([&] { return !events.Of(MqttEventKind::QueueFull).empty(); }));
    EXPECT_EQ(publisher.Counters().dropped, 3u);
    EXPECT_EQ(publisher.Counters().queued, 5u);

    clock.ms += 5000;
    ASSERT_TRUE(WaitUntil([&] { return publisher.Counters().connectAttempts == 2; }));
    TestBroker broker(dir.Path(), port);
    ASSERT_TRUE(broker.Start());
    TestSubscriber sub(port, {"down/D4/reading"});
    ASSERT_TRUE(sub.Ready());
    clock.ms += 5000;
    const auto got = sub.WaitFor(5);
    ASSERT_EQ(got.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(got[i].payload, JsonOf(4 + i, "D4"));
    EXPECT_EQ(publisher.Finish(seconds(5)), 0u);

    EXPECT_EQ(publisher.Counters().connectAttempts, 3u) << "no attempt without the clock moving";
    // Told once each: the outage, the full queue, and how many it dropped.
    EXPECT_EQ(events.Of(MqttEventKind::Lost),
              std::vector<std::string>{"cannot reach the broker 127.0.0.1:" + std::to_string(port) +
                                       ": Connection refused; readings wait in the queue"});
    EXPECT_EQ(events.Of(MqttEventKind::QueueFull).size(), 1u);
    EXPECT_EQ(events.Of(MqttEventKind::Dropped),
              std::vector<std::string>{"dropped 3 readings the broker could not take in time"});
}

TEST(MqttPublisherTest, FinishWithoutABrokerGivesUpWithinItsWaitAndCountsWhatIsLeft) {
    MqttPublisher publisher(SettingsFor(test::FreeLoopbackPort(), "gone"));
    publisher.AddMeter("G1", "QTM200", "lx", "°C");
    std::string why;
    ASSERT_TRUE(publisher.Start(&why)) << why;
    PublishReadings(publisher, 1, 3, "G1");
    const auto start = steady_clock::now();
    EXPECT_EQ(publisher.Finish(milliseconds(400)), 3u);
    const auto took = steady_clock::now() - start;
    EXPECT_GE(took, milliseconds(400));
    EXPECT_LT(took, milliseconds(2000));
}

// Two meters on one connection: the will is on the first one's status, and the second
// one's config makes it unavailable with it.
TEST(MqttPublisherTest, KilledLoggerLeavesItsWillOfflineForEveryMeterItServed) {
    TempDir dir;
    TestBroker broker(dir.Path(), test::FreeLoopbackPort());
    ASSERT_TRUE(broker.Start());
    TestSubscriber sub(broker.Port(), {"will/+/status"});
    ASSERT_TRUE(sub.Ready());
    const std::string port = std::to_string(broker.Port());
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/proc/self/exe", "test_publish", "--publish-then-die", port.c_str(), "A1", "B2",
                nullptr);
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "exit " << status;

    const auto got = sub.WaitFor(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].payload + got[1].payload, "onlineonline");
    EXPECT_EQ(got[2].topic, "will/A1/status");
    EXPECT_EQ(got[2].payload, "offline");

    TestSubscriber later(broker.Port(),
                         {"will/A1/status", DiscoveryTopic("B2", MeterQuantity::Power)});
    const auto kept = later.WaitFor(2);
    ASSERT_EQ(kept.size(), 2u);
    for (const auto& r : kept) {
        EXPECT_TRUE(r.retain);
        if (r.topic == "will/A1/status")
            EXPECT_EQ(r.payload, "offline");
        else
            EXPECT_NE(r.payload.find("{\"topic\":\"will/A1/status\"}"), std::string::npos);
    }
}

// A broker behind TLS with a CA of the test's own that wants a user and password.
TEST(MqttPublisherTest, LogsInOverTlsWithUserAndPasswordAndTellsARefusal) {
    TempDir dir;
    const std::string d = dir.Path().string();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string make =
        "cd " + d + " && openssl req -x509" + ec +
        " -keyout ca.key -out ca.crt -subj /CN=qtm-test-ca -days 1 && openssl req" + ec +
        " -keyout server.key -out server.csr -subj /CN=127.0.0.1"
        " && printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext && openssl x509 -req -in server.csr"
        " -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 1 -extfile san.ext"
        " && mosquitto_passwd -c -b passwords meter s3cret";
    ASSERT_EQ(std::system(("(" + make + ") >/dev/null 2>&1").c_str()), 0);
    TestBroker broker(dir.Path(), test::FreeLoopbackPort(),
                      "allow_anonymous false\npassword_file " + d + "/passwords\ncafile " + d +
                          "/ca.crt\ncertfile " + d + "/server.crt\nkeyfile " + d + "/server.key\n");
    ASSERT_TRUE(broker.Start());
    auto missing = SettingsFor(broker.Port(), "auth");
    missing.caFile = d + "/missing.crt";
    std::string refusal;
    EXPECT_FALSE(MqttPublisher(missing).Start(&refusal));
    EXPECT_NE(refusal.find("missing.crt"), std::string::npos) << refusal;
    for (const bool right : {true, false}) {
        auto settings = SettingsFor(broker.Port(), "auth");
        settings.tls = true;
        settings.caFile = d + "/ca.crt";
        settings.user = "meter";
        settings.password = right ? "s3cret" : "guess";
        Events events;
        MqttPublisher publisher(settings);
        publisher.OnEvent(events.Recorder());
        std::string why;
        ASSERT_TRUE(publisher.Start(&why)) << why;
        publisher.Publish(ReadingColumns::UsbLive(), ReadingOf(1, "P1"));
        if (right) {
            EXPECT_EQ(publisher.Finish(seconds(5)), 0u);
            EXPECT_EQ(publisher.Counters().delivered, 1u);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return !events.Of(MqttEventKind::Lost).empty(); }));
            EXPECT_NE(events.Of(MqttEventKind::Lost)[0].find("refused"), std::string::npos)
                << events.Of(MqttEventKind::Lost)[0];
            EXPECT_EQ(publisher.Finish(milliseconds(200)), 1u);
        }
    }
}

}  // namespace
}  // namespace qtm
