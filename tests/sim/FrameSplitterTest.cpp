#include "sim/FrameSplitter.h"

#include <gtest/gtest.h>

#include "SimTestFrames.h"

using namespace qtmsim;
using namespace simtest;

namespace {

struct Case {
    const char* name;
    Bytes frame;
    std::size_t length;
};

}  // namespace

TEST(FrameSplitter, EveryUsbRequestIsCutAtItsOwnLength) {
    const Case cases[] = {
        {"identification", VkRead(0x01), 7},
        {"serial number", VkRead(0x02), 7},
        {"page read", VkRead(0x20, 0x07), 7},
        {"model write", VkWrite(0x01, Bytes(10, 'A')), 17},
        {"band write", TextWrite(0x23, ""), 19},
        {"range write", TextWrite(0x24, ""), 19},
        {"K write", VkWrite(0x0F, F32(1.5f)), 11},
        {"energy state", VkWrite(0x21, {0x03}), 8},
        {"erase", kErase, 7},
        {"fit data", kFitRead, 6},
        {"formula", FormulaWrite({1, 2, 3, 4, 5}), 45},
        {"QTM300 identification", {0x8C, 0x00}, 2},
        {"USB-disk", {0x8C, 0x8C, 0x01}, 3},
        {"QTM300 info", kQtm300Info, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.frame.size(), c.length);
        for (std::size_t n = 1; n < c.length; ++n) {
            EXPECT_EQ(CutUsbFrame(c.frame.data(), n).status, CutStatus::NeedMore) << n;
        }
        Bytes more = c.frame;
        more.push_back('V');  // the start of the next request must not be taken in
        const Cut cut = CutUsbFrame(more.data(), more.size());
        EXPECT_EQ(cut.status, CutStatus::Complete);
        EXPECT_EQ(cut.length, c.length);
    }
}

TEST(FrameSplitter, JunkIsRejectedAtTheFirstWrongByte) {
    const Bytes junk[] = {
        {0x00},
        {'V', 'X'},
        {'V', 'K', 0x44},
        {'V', 'K', 0x42, 0x0D, 0x02, 0x00},              // read with an impossible length field
        {'V', 'K', 0x43, 0x0F, 0xFF, 0x00},              // write longer than any meter value
        {'V', 'K', 0x43, 0x21, 0x01, 0x00, 0x03, 0x55},  // write not closed by a zero
        {'F', 'i', 'x'},
        {0x8C, 0x8C, 0x03, 0x8C, 0x8C, 0x09},
    };
    for (const Bytes& j : junk) {
        EXPECT_EQ(CutUsbFrame(j.data(), j.size()).status, CutStatus::Invalid)
            << testing::PrintToString(j);
    }
}

TEST(FrameSplitter, ModbusFramesNeedTheirWholeLengthAndAGoodCrc) {
    const Bytes read = ModbusRead(1, 0xE013, 18);
    const Bytes write = ModbusWrite(1, 0xFCC6, {0xC6, 0x05});
    ASSERT_EQ(write.size(), 11u);
    for (const Bytes& f : {read, write}) {
        EXPECT_EQ(CutModbusFrame(f.data(), f.size() - 1).status, CutStatus::NeedMore);
        const Cut cut = CutModbusFrame(f.data(), f.size());
        EXPECT_EQ(cut.status, CutStatus::Complete);
        EXPECT_EQ(cut.length, f.size());
        Bytes bad = f;
        bad.back() ^= 0x01;
        EXPECT_EQ(CutModbusFrame(bad.data(), bad.size()).status, CutStatus::Invalid);
    }
    const Bytes otherFunction{0x01, 0x06, 0x00, 0x00};
    EXPECT_EQ(CutModbusFrame(otherFunction.data(), otherFunction.size()).status,
              CutStatus::Invalid);
}
