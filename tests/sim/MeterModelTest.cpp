#include "sim/MeterModel.h"

#include <gtest/gtest.h>

#include "SimTestFrames.h"

using namespace qtmsim;
using namespace simtest;

TEST(MeterModel, SplitsAStreamIntoRequestsSkippingJunk) {
    MeterModel m;
    const Bytes band = TextWrite(0x23, "");
    const Bytes stream = Join(
        {{0x00, 0xFF, 'V'}, VkRead(0x0D), {'K', 0x17}, band, VkRead(0x02), {0x8C, 0x41}, kFitRead});
    // Fed one byte at a time, as a slow line would deliver it.
    std::vector<Exchange> all;
    for (std::uint8_t b : stream) {
        for (Exchange& e : m.Feed(&b, 1, 1.0))
            all.push_back(std::move(e));
    }
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].request.bytes, VkRead(0x0D));
    EXPECT_EQ(all[1].request.bytes, band);
    EXPECT_EQ(all[1].reply.size(), 8u);
    EXPECT_EQ(all[2].request.bytes, VkRead(0x02));
    EXPECT_EQ(all[3].request.bytes.size(), 6u);
    EXPECT_EQ(m.PendingBytes(), 0u);
}

TEST(MeterModel, AFragmentLeftUnfinishedIsDroppedBeforeTheNextRequest) {
    MeterModel m;
    const Bytes fragment{'V', 'K', 0x43, 0x0F, 0x04, 0x00, 0x00};  // a K write cut short
    EXPECT_TRUE(m.Feed(fragment, 1.0).empty());
    EXPECT_EQ(m.PendingBytes(), fragment.size());
    const auto answered = m.Feed(VkRead(0x0D), 1.0 + MeterModel::kStaleFrameSeconds + 0.1);
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].reply.size(), 11u);
}

TEST(MeterModel, Rs485MeterUnderstandsOnlyModbus) {
    MeterModel m(MeterConfig{.rs485 = true});
    const auto answered = m.Feed(Join({VkRead(0x0D), ModbusRead(1, 0xFC79, 2)}), 1.0);
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].reply.size(), 9u);
}

TEST(MeterModel, FaultsShapeEveryReply) {
    const Bytes request = VkRead(0x0D);
    const Bytes good = MeterModel().Handle(request, 1.0).reply;
    ASSERT_EQ(good.size(), 11u);

    MeterModel m;
    m.SetFault(Fault::Short);
    const Bytes shortReply = m.Handle(request, 1.0).reply;
    EXPECT_GT(shortReply.size(), 0u);
    EXPECT_LT(shortReply.size(), good.size());

    m.SetFault(Fault::Garbage);
    const Bytes garbage = m.Handle(request, 1.0).reply;
    ASSERT_EQ(garbage.size(), good.size());
    for (std::size_t i = 0; i < good.size(); ++i)
        EXPECT_NE(garbage[i], good[i]) << i;

    m.SetFault(Fault::Silent);
    const Exchange silent = m.Handle(VkWrite(0x22, I32(9)), 1.0);
    EXPECT_TRUE(silent.reply.empty());
    EXPECT_EQ(m.State().saveGap, 1);  // a silent meter does not act either

    m.SetFault(Fault::HangUp);
    EXPECT_TRUE(m.Handle(request, 1.0).hangUp);

    m.SetFault(Fault::BadCrc);  // no CRC on the USB link: replies as normal
    EXPECT_EQ(m.Handle(request, 1.0).reply, good);
}
