#include "service/LiveReadings.h"

#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <iterator>
#include <bit>
#include <cstring>

#include "device/ModbusFrame.h"
#include "device/SimFixture.h"
#include "device/VkFrame.h"

namespace qtm {
namespace {

Bytes VkReply(std::uint8_t code, const Bytes& data, std::size_t length) {
    Bytes reply(data.size() + 6, 0x00);
    const std::uint8_t head[] = {'V', 'K', 0x42, code, static_cast<std::uint8_t>(data.size()), 0};
    std::copy(std::begin(head), std::end(head), reply.begin());
    std::copy(data.begin(), data.end(), reply.begin() + 6);
    reply.resize(length, 0x00);
    return reply;
}

void ExpectValues(const LiveValues& v, const LiveValues& expected) {
    EXPECT_EQ(v.powerOk, expected.powerOk);
    EXPECT_FLOAT_EQ(v.power, expected.power);
    EXPECT_DOUBLE_EQ(v.energy, expected.energy);
    EXPECT_EQ(v.energyTimeTenths, expected.energyTimeTenths);
    EXPECT_FLOAT_EQ(v.temperature, expected.temperature);
    EXPECT_FLOAT_EQ(v.voltage, expected.voltage);
    EXPECT_FLOAT_EQ(v.ad, expected.ad);
}

Bytes EnergyData(double energy, std::int32_t tenths) {
    Bytes data = LeDouble(energy);
    const Bytes time = LeInt32(tenths);
    data.insert(data.end(), time.begin(), time.end());
    return data;
}

TEST(TakeLiveReplyTest, ZeroFilledShortReplyGivesZerosWhereBytesAreMissing) {
    // Energy reply cut after the double: the time is zero, the energy stands.
    Bytes reply = VkReply(0x21, EnergyData(5.5, 99), 19);
    std::fill(reply.begin() + 14, reply.end(), 0);
    LiveValues values;
    values.energyTimeTenths = 7;
    TakeLiveReply(0x21, reply, values);
    EXPECT_DOUBLE_EQ(values.energy, 5.5);
    EXPECT_EQ(values.energyTimeTenths, 0);
}

TEST(DecodeLiveBlockTest, NineBigEndianValuesInTheirOrder) {
    const float expected[9] = {8000.0f, 2.5f, 1.25f, 0.75f, -3.5f, 41000.0f, 1.2f, 23.5f, 99.0f};
    std::array<std::uint8_t, kLiveBlockBytes> block{};
    for (int i = 0; i < 9; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(expected[i]);
        for (int b = 0; b < 4; ++b)
            block[i * 4 + b] = static_cast<std::uint8_t>(bits >> (24 - 8 * b));
    }
    const BusLiveValues v = DecodeLiveBlock(block);
    using B = BusLiveValues;
    const float B::*fields[] = {&B::zero,  &B::cal, &B::calK,    &B::k,
                                &B::power, &B::ad,  &B::voltage, &B::temperature};
    for (int i = 0; i < 8; ++i)
        EXPECT_FLOAT_EQ(v.*fields[i], expected[i]) << i;
}

class LivePassTest : public test::SimFixture {
protected:
    void SetUp() override { StartMeter(); }
};
using LivePassNoPortTest = test::SimFixture;
using BusLivePassTest = test::SimFixture;

const std::vector<std::uint8_t> kPassCodes{0x0D, 0x21, 0x25, 0x26, 0x27};

TEST_F(LivePassTest, SendsTheFiveReadsInOrderAndNoStorageRead) {
    EXPECT_TRUE(ReadLiveValues(link).powerOk);
    std::vector<Bytes> expected;
    for (const std::uint8_t code : kPassCodes)
        expected.push_back(BuildVkRead(code));
    EXPECT_EQ(Requests(), expected);
}

TEST_F(LivePassTest, TakesTheMetersValues) {
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        switch (request[3]) {
            case 0x0D:
                return VkReply(0x0D, LeFloat(12.5f), 11);
            case 0x21:
                return VkReply(0x21, EnergyData(250.25, 600), 19);
            case 0x25:
                return VkReply(0x25, LeFloat(26.5f), 11);
            case 0x26:
                return VkReply(0x26, LeFloat(0.5f), 11);
            default:
                return VkReply(0x27, LeFloat(1234.0f), 11);
        }
    });
    ExpectValues(ReadLiveValues(link), {.power = 12.5f,
                                        .energy = 250.25,
                                        .energyTimeTenths = 600,
                                        .temperature = 26.5f,
                                        .voltage = 0.5f,
                                        .ad = 1234.0f,
                                        .powerOk = true});
}

TEST_F(LivePassTest, ShortPowerReplyFailsThePassAndKeepsThePreviousPower) {
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == 0x0D) return VkReply(0x0D, LeFloat(99.0f), 10);
        return std::nullopt;
    });
    LiveValues previous;
    previous.power = 7.0f;
    const LiveValues v = ReadLiveValues(link, previous);
    EXPECT_FALSE(v.powerOk);
    EXPECT_FLOAT_EQ(v.power, 7.0f);
    // The other four requests still went out, once each.
    EXPECT_EQ(RequestCodes(), kPassCodes);
}

TEST_F(LivePassTest, NoiseOrNumbersThatAreNoneGiveNoReading) {
    struct Case {
        const char* what;
        std::uint8_t code;
        Bytes reply;
    };
    Bytes noise = VkReply(0x21, EnergyData(1.8e127, 600), 19);
    noise[0] = 0x00;  // whole, but not the meter's
    const Case cases[] = {
        {"energy without its magic", 0x21, noise},
        {"energy not finite", 0x21, VkReply(0x21, EnergyData(INFINITY, 600), 19)},
        {"power not a number", 0x0D, VkReply(0x0D, LeFloat(NAN), 11)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // By value: the simulator's thread may still ask the hook after this case.
        meter->SetReplyOverride(
            [code = c.code, reply = c.reply](const Bytes& request) -> std::optional<Bytes> {
                if (request[3] == code) return reply;
                return std::nullopt;
            });
        const LiveValues v = ReadLiveValues(link);
        EXPECT_FALSE(v.powerOk);
        EXPECT_NE(v.energy, 1.8e127);
    }
}

TEST_F(LivePassTest, SilentTemperatureReadsZeroNotTheOldValue) {
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == 0x25) return Bytes{};
        return std::nullopt;
    });
    LiveValues previous;
    previous.temperature = 30.0f;
    const LiveValues v = ReadLiveValues(link, previous);
    EXPECT_TRUE(v.powerOk);
    // The request went out, so the cleared reply counts: zero, not the old value.
    EXPECT_FLOAT_EQ(v.temperature, 0.0f);
    // One request each; the ten attempts are reads, not resends.
    EXPECT_EQ(RequestCodes(), kPassCodes);
}

TEST_F(LivePassNoPortTest, MissingPortKeepsEveryPreviousValue) {
    link.SetPortName("/dev/qtm-test-no-such-port");
    const LiveValues previous{.power = 1,
                              .energy = 2,
                              .energyTimeTenths = 3,
                              .temperature = 4,
                              .voltage = 5,
                              .ad = 6,
                              .powerOk = true};
    LiveValues expected = previous;
    expected.powerOk = false;
    ExpectValues(ReadLiveValues(link, previous), expected);
    EXPECT_EQ(link.LastOpenError().kind, PortErrorKind::NotFound);
}

TEST_F(BusLivePassTest, ReadsTheBlockAtTheAddress) {
    StartMeter({.rs485 = true, .address = 7, .calValue = 3.25f, .k = 1.5f});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    const auto values = ReadBusLiveValues(link, 7);
    ASSERT_TRUE(values.has_value());
    EXPECT_FLOAT_EQ(values->k, 1.5f);
    EXPECT_FLOAT_EQ(values->cal, 3.25f);
    EXPECT_EQ(Requests(), std::vector<Bytes>{BuildReadRegistersRequest(7, 0xE013, 18)});
}

}  // namespace
}  // namespace qtm
