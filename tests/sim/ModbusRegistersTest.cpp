#include <gtest/gtest.h>

#include "SimTestFrames.h"
#include "sim/MeterModel.h"

using namespace qtmsim;
using namespace simtest;

namespace {

MeterModel Rs485Meter(std::uint8_t address = 1) {
    return MeterModel(MeterConfig{.rs485 = true, .address = address});
}

// The data bytes of a read reply, after checking its frame.
Bytes ReadData(MeterModel& m, std::uint16_t reg, std::uint16_t count) {
    const Bytes r = Ask(m, ModbusRead(1, reg, count));
    EXPECT_TRUE(CrcOk(r));
    EXPECT_EQ(r.size(), 5u + 2 * count);
    EXPECT_EQ(r[2], 2 * count);
    return Bytes(r.begin() + 3, r.end() - 2);
}

}  // namespace

TEST(ModbusRegisters, LiveBlockHoldsTheParametersAndReadingsBigEndian) {
    MeterModel m = Rs485Meter();
    m.State().zeroValue = 8100.0f;
    m.State().calValue = 2.5f;
    m.State().calK = 3.0f;
    m.State().k = 1.25f;
    const Bytes d = ReadData(m, 0xE013, 18);
    EXPECT_EQ(F32BEAt(d, 0), 8100.0f);
    EXPECT_EQ(F32BEAt(d, 4), 2.5f);
    EXPECT_EQ(F32BEAt(d, 8), 3.0f);
    EXPECT_EQ(F32BEAt(d, 12), 1.25f);
    EXPECT_NEAR(F32BEAt(d, 16), 850.0f, 100.0f);  // power of a PPFD meter
    EXPECT_GT(F32BEAt(d, 20), 8100.0f);           // A/D above the zero
    EXPECT_NEAR(F32BEAt(d, 24), 3.9f, 0.1f);      // voltage
    EXPECT_NEAR(F32BEAt(d, 28), 24.5f, 2.0f);     // temperature
}

TEST(ModbusRegisters, IdentityAndFitRegisters) {
    MeterModel m(MeterConfig{.model = "QTX-210L", .rs485 = true, .serial = "123456789"});
    const Bytes sn = ReadData(m, 0xFC79, 2);
    EXPECT_EQ((sn[0] << 24) | (sn[1] << 16) | (sn[2] << 8) | sn[3], 123456789);
    const Bytes model = ReadData(m, 0xFC00, 6);
    EXPECT_EQ(std::string(model.begin(), model.begin() + 9), std::string("QTX-210L\0", 9));

    const Bytes ad = ReadData(m, 0xC000, 100);
    const Bytes t = ReadData(m, 0xC100, 100);
    EXPECT_EQ(F32BEAt(ad, 4 * 49), m.State().fitPoints[49].ad);
    EXPECT_EQ(F32BEAt(t, 0), m.State().fitPoints[0].temperature);
    const Bytes c = ReadData(m, 0xC200, 20);
    std::uint8_t c4le[8];
    for (int i = 0; i < 8; ++i)
        c4le[i] = c[static_cast<std::size_t>(7 - i)];
    EXPECT_EQ(GetF64LE(c4le), m.State().coefficients[4]);
}

TEST(ModbusRegisters, WritesAreAcknowledgedAndTakeEffect) {
    MeterModel m = Rs485Meter();
    const Bytes k = ModbusWrite(1, 0xE00E, F32(1.5f));  // little-endian float bytes
    const Bytes ack = Ask(m, k);
    ASSERT_EQ(ack.size(), 8u);
    EXPECT_TRUE(std::equal(ack.begin(), ack.begin() + 6, k.begin()));
    EXPECT_TRUE(CrcOk(ack));
    EXPECT_EQ(m.State().k, 1.5f);

    Ask(m, ModbusWrite(1, 0xE010, F32(4.0f)));
    EXPECT_EQ(m.State().calValue, 4.0f);
    Ask(m, ModbusWrite(1, 0xE010, {0xF5, 0x4A}));
    EXPECT_TRUE(m.State().fitting);
    m.State().zeroValue = 0;
    Ask(m, ModbusWrite(1, 0xE012, {0x00, 0x01}));
    EXPECT_GT(m.State().zeroValue, 7000.0f);
}

TEST(ModbusRegisters, AddressWriteMovesTheMeterAfterReplyingFromTheOldOne) {
    MeterModel m = Rs485Meter();
    const Bytes request = ModbusWrite(1, 0xFCC6, {0xC6, 0x05});
    EXPECT_EQ(request, (Bytes{0x01, 0x10, 0xFC, 0xC6, 0x00, 0x01, 0x02, 0xC6, 0x05, request[9],
                              request[10]}));
    const Bytes ack = Ask(m, request);
    ASSERT_EQ(ack.size(), 8u);
    EXPECT_EQ(ack[0], 0x01);
    EXPECT_TRUE(Ask(m, ModbusRead(1, 0xE013, 18)).empty());  // no longer at 1
    EXPECT_EQ(Ask(m, ModbusRead(5, 0xE013, 18)).size(), 41u);
}

TEST(ModbusRegisters, OtherAddressesAndBroadcastsGetNoReply) {
    MeterModel m = Rs485Meter(3);
    EXPECT_TRUE(Ask(m, ModbusRead(4, 0xE013, 18)).empty());
    EXPECT_TRUE(Ask(m, ModbusWrite(4, 0xE00E, F32(9.0f))).empty());
    EXPECT_EQ(m.State().k, 1.0f);
    EXPECT_TRUE(Ask(m, ModbusWrite(0, 0xE00E, F32(9.0f))).empty());
    EXPECT_EQ(m.State().k, 9.0f);  // a broadcast write is carried out
}

TEST(ModbusRegisters, BadRequestsGetExceptionReplies) {
    MeterModel m = Rs485Meter();
    const struct {
        Bytes request;
        std::uint8_t function;
        std::uint8_t code;
    } cases[] = {
        {ModbusRead(1, 0x1234, 2), 0x83, 0x02},
        {ModbusRead(1, 0xE013, 19), 0x83, 0x02},  // runs past the live block
        {ModbusRead(1, 0xC000, 126), 0x83, 0x03},
        {ModbusWrite(1, 0x1234, {0, 1}), 0x90, 0x02},
        {ModbusWrite(1, 0xFCC6, {0xC6, 0x00}), 0x90, 0x03},
        {ModbusWrite(1, 0xE012, {0x00, 0x02}), 0x90, 0x03},
    };
    for (const auto& c : cases) {
        const Bytes r = Ask(m, c.request);
        ASSERT_EQ(r.size(), 5u) << testing::PrintToString(c.request);
        EXPECT_EQ(r[1], c.function);
        EXPECT_EQ(r[2], c.code);
        EXPECT_TRUE(CrcOk(r));
    }
    EXPECT_EQ(m.State().address, 1);
}

TEST(ModbusRegisters, BadCrcFaultSpoilsOnlyTheChecksum) {
    MeterModel m = Rs485Meter();
    const Bytes good = Ask(m, ModbusRead(1, 0xFC79, 2));
    m.SetFault(Fault::BadCrc);
    const Bytes bad = Ask(m, ModbusRead(1, 0xFC79, 2));
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_FALSE(CrcOk(bad));
    EXPECT_TRUE(std::equal(good.begin(), good.end() - 2, bad.begin()));
}
