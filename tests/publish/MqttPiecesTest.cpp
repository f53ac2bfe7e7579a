#include <gtest/gtest.h>

#include "publish/DropOldestQueue.h"
#include "publish/MqttSettings.h"
#include "publish/MqttTopics.h"
#include "publish/ReconnectBackoff.h"

namespace qtm {
namespace {

TEST(MqttAddressTest, HostPortAndBracketedV6AreTakenAndBadOnesSayWhy) {
    const struct {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
    } cases[] = {
        {"broker", "broker", 1883},
        {"broker.lan:8883", "broker.lan", 8883},
        {"[::1]:1884", "::1", 1884},
        {"[fe80::1%eth0]", "fe80::1%eth0", 1883},
        {"", nullptr, 0},
        {"broker:", nullptr, 0},
        {"broker:0", nullptr, 0},
        {"broker:65536", nullptr, 0},
        {"broker:18a3", nullptr, 0},
        {":1883", nullptr, 0},
        {"::1:1883", nullptr, 0},
        {"[::1]1883", nullptr, 0},
        {"[broker]:1883", nullptr, 0},
        {"mqtt://broker", nullptr, 0},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto parsed = ParseMqttAddress(c.text, &why);
        if (c.host == nullptr) {
            EXPECT_FALSE(parsed || why.empty()) << c.text;
            continue;
        }
        ASSERT_TRUE(parsed) << c.text << ": " << why;
        EXPECT_EQ(*parsed, std::pair(std::string(c.host), c.port));
        EXPECT_EQ(ParseMqttAddress(FormatMqttAddress(c.host, c.port), &why), parsed)
            << "the form messages use reads back: " << c.text;
    }
}

TEST(DropOldestQueueTest, DropsTheOldestAndTellsABurstOnceAtItsStartAndOnceAtItsEnd) {
    DropOldestQueue<int> queue(3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(queue.PushBack(i));
    EXPECT_FALSE(queue.TakeBurstStart());
    EXPECT_TRUE(queue.PushBack(4));
    EXPECT_TRUE(queue.PushBack(5));
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_TRUE(queue.TakeBurstStart());
    EXPECT_FALSE(queue.TakeBurstStart());
    EXPECT_EQ(queue.TakeEndedBurst(), std::nullopt) << "still full: the burst goes on";
    EXPECT_EQ(queue.PopFront(), 3);
    EXPECT_EQ(queue.TakeEndedBurst(), 2u);
    EXPECT_EQ(queue.TakeEndedBurst(), std::nullopt);

    // Two taken out earlier come back, one place free: the older of them goes.
    queue.PushFront({1, 2});
    EXPECT_EQ(queue.Dropped(), 3u);
    std::vector<int> left;
    while (auto item = queue.PopFront())
        left.push_back(*item);
    EXPECT_EQ(left, (std::vector<int>{2, 4, 5}));
}

TEST(ReconnectBackoffTest, WaitDoublesFromAQuarterSecondToFiveAndStartsOverOnConnection) {
    using namespace std::chrono;
    ReconnectBackoff backoff;
    auto now = steady_clock::time_point{} + hours(1);
    EXPECT_TRUE(backoff.Due(now)) << "the first attempt waits for nothing";
    for (const int wait : {250, 500, 1000, 2000, 4000, 5000, 5000}) {
        backoff.Failed(now);
        EXPECT_FALSE(backoff.Due(now + milliseconds(wait - 1))) << wait;
        EXPECT_TRUE(backoff.Due(now + milliseconds(wait))) << wait;
        now += milliseconds(wait);
    }
    backoff.Connected();
    backoff.Failed(now);
    EXPECT_EQ(backoff.DueAt(), now + milliseconds(250));
}

TEST(MqttTopicsTest, DiscoveryConfigNamesStateUnitIdDeviceAndTheWillForAvailability) {
    EXPECT_EQ(ReadingTopic("lab/qtm", "A1/2+#"), "lab/qtm/A1_2__/reading") << "one safe level";
    EXPECT_EQ(DiscoveryTopic("S 7", MeterQuantity::Temperature),
              "homeassistant/sensor/qtm200_S_7/temperature/config");

    const MqttMeter meter{"B2", "QTM200", "umol/m²/s", "°C"};
    const std::string own = DiscoveryConfig("p", meter, MeterQuantity::Power, "p/B2/status");
    for (const char* member :
         {"\"state_topic\":\"p/B2/reading\"", "\"value_template\":\"{{ value_json.power }}\"",
          "\"unit_of_measurement\":\"umol/m²/s\"", "\"unique_id\":\"qtm200_B2_power\"",
          "\"availability_topic\":\"p/B2/status\"",
          "\"device\":{\"identifiers\":[\"qtm200_B2\"],\"name\":\"QTM200 B2\","
          "\"model\":\"QTM200\",\"serial_number\":\"B2\""})
        EXPECT_NE(own.find(member), std::string::npos) << member << " in " << own;

    // Another meter's status carries the will: both must say online.
    const std::string shared =
        DiscoveryConfig("p", meter, MeterQuantity::Temperature, "p/A1/status");
    for (const char* member :
         {"\"value_template\":\"{{ value_json.temperature }}\"", "\"unit_of_measurement\":\"°C\"",
          "\"availability\":[{\"topic\":\"p/B2/status\"},{\"topic\":\"p/A1/status\"}]",
          "\"availability_mode\":\"all\""})
        EXPECT_NE(shared.find(member), std::string::npos) << member << " in " << shared;
    EXPECT_EQ(shared.find("availability_topic"), std::string::npos)
        << "Home Assistant takes one form or the other";
}

}  // namespace
}  // namespace qtm
