#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "SimTestFrames.h"
#include "sim/MeterModel.h"

using namespace qtmsim;
using namespace simtest;

namespace {

std::string Text(const Bytes& reply, std::size_t from, std::size_t count) {
    return std::string(reply.begin() + static_cast<std::ptrdiff_t>(from),
                       reply.begin() + static_cast<std::ptrdiff_t>(from + count));
}

}  // namespace

TEST(UsbCommands, EveryReadIsAnsweredWithTheLengthTheProgramAwaits) {
    MeterModel m(MeterConfig{.records = 20});
    const struct {
        std::uint8_t code;
        std::size_t length;
    } reads[] = {{0x01, 16}, {0x02, 16}, {0x0F, 11}, {0x22, 11}, {0x10, 11}, {0x1F, 12}, {0x0D, 11},
                 {0x21, 19}, {0x25, 11}, {0x26, 11}, {0x27, 11}, {0x07, 11}, {0x20, 127}};
    for (const auto& r : reads) {
        const Bytes reply = Ask(m, VkRead(r.code));
        EXPECT_EQ(reply.size(), r.length) << "code " << int(r.code);
        ASSERT_GE(reply.size(), 2u);
        EXPECT_EQ(reply[0], 'V');
        EXPECT_EQ(reply[1], 'K');
    }
}

TEST(UsbCommands, WritesAreAcknowledgedWithTheirAwaitedLength) {
    MeterModel m;
    const struct {
        Bytes request;
        std::size_t length;
    } writes[] = {
        {VkWrite(0x01, Bytes(10, 'M')), 8},
        {VkWrite(0x02, Bytes(10, '7')), 8},
        {VkWrite(0x22, I32(5)), 8},
        {VkWrite(0x0F, F32(1.5f)), 8},
        {VkWrite(0x43, I32(3)), 8},
        {VkWrite(0x21, {0x01}), 7},
        {kErase, 7},
        {VkWrite(0x07, {0xF1}), 7},
        {VkWrite(0x07, F32(3.0f)), 7},
        {VkWrite(0x46, {0x30}), 7},
    };
    for (const auto& w : writes) {
        EXPECT_EQ(Ask(m, w.request).size(), w.length) << testing::PrintToString(w.request);
    }
}

TEST(UsbCommands, ParameterWritesChangeWhatReadsReturn) {
    MeterModel m;
    Bytes model{'Q', 'T', 'X', '-', '2', '0', '0', 'L', ' ', ' '};
    Ask(m, VkWrite(0x01, model));
    EXPECT_EQ(Text(Ask(m, VkRead(0x01)), 6, 10), "QTX-200L  ");

    Ask(m, VkWrite(0x02, {'A', 'B', '1', '2', ' ', ' ', ' ', ' ', ' ', ' '}));
    EXPECT_EQ(Text(Ask(m, VkRead(0x02)), 6, 10), "AB12      ");

    Ask(m, VkWrite(0x0F, F32(1.5f)));
    EXPECT_EQ(F32At(Ask(m, VkRead(0x10))), 1.5f);  // K is written with 0x0F, read with 0x10

    Ask(m, VkWrite(0x07, F32(4.25f)));
    EXPECT_EQ(F32At(Ask(m, VkRead(0x0F))), 4.25f);  // the calibration value

    Ask(m, VkWrite(0x22, I32(12)));
    EXPECT_EQ(GetU32LE(&Ask(m, VkRead(0x22))[6]), 12u);

    Ask(m, VkWrite(0x43, I32(3)));
    EXPECT_EQ(m.State().calK, 3.0f);
}

TEST(UsbCommands, BandAndRangeRepliesCarryTheCountTheProgramReadsBy) {
    MeterModel m;
    Ask(m, TextWrite(0x23, "380-780nm"));
    Ask(m, TextWrite(0x24, "0-200000"));

    const Bytes bandReply = Ask(m, VkRead(0x23));
    ASSERT_EQ(bandReply.size(), 6u + bandReply[4]);  // header, then L bytes
    EXPECT_EQ(Text(bandReply, 6, bandReply[4]), "380-780nm");

    const Bytes rangeReply = Ask(m, VkRead(0x24));
    ASSERT_EQ(rangeReply.size(), 6u + rangeReply[4] - 1);  // header, then L - 1 bytes
    EXPECT_EQ(Text(rangeReply, 6, rangeReply[4] - 1u), "0-200000");
}

TEST(UsbCommands, BadValuesAreRefusedAndLeaveTheParameter) {
    MeterModel m;
    const Bytes refused[] = {VkWrite(0x22, I32(0)),
                             VkWrite(0x22, I32(-4)),
                             VkWrite(0x0F, F32(std::numeric_limits<float>::quiet_NaN())),
                             VkWrite(0x21, {0x04}),
                             VkWrite(0x07, {0x55}),
                             VkWrite(0x46, {0x32})};
    for (const Bytes& r : refused)
        EXPECT_EQ(Ask(m, r)[6], 0x00) << testing::PrintToString(r);
    EXPECT_EQ(m.State().saveGap, 1);
    EXPECT_EQ(m.State().k, 1.0f);
    EXPECT_EQ(m.State().energyState, EnergyState::Stop);
}

TEST(UsbCommands, EnergyAccumulatesOnlyWhileSwitchedOn) {
    MeterModel m;
    auto energy = [&](double t) {
        const Bytes r = Ask(m, VkRead(0x21), t);
        return std::make_pair(GetF64LE(&r[6]), static_cast<std::int32_t>(GetU32LE(&r[14])));
    };
    EXPECT_EQ(energy(5.0).first, 0.0);  // stopped from the start

    Ask(m, VkWrite(0x21, {0x01}), 10.0);  // Start
    const auto running = energy(12.5);
    EXPECT_EQ(running.second, 25);  // tenths of a second
    EXPECT_NEAR(running.first, 2.5 * 850.0, 2.5 * 850.0 * 0.15);

    Ask(m, VkWrite(0x21, {0x03}), 12.5);  // Pause holds the total
    EXPECT_EQ(energy(20.0), running);
    Ask(m, VkWrite(0x21, {0x01}), 20.0);  // Start after Pause continues
    EXPECT_GT(energy(21.0).first, running.first);
    EXPECT_EQ(energy(21.0).second, 35);

    Ask(m, VkWrite(0x21, {0x02}), 21.0);  // Clear zeroes the counters
    EXPECT_EQ(energy(21.0).second, 0);
    Ask(m, VkWrite(0x21, {0x00}), 22.0);  // Stop holds...
    const auto stopped = energy(30.0);
    EXPECT_EQ(stopped.second, 10);
    Ask(m, VkWrite(0x21, {0x01}), 30.0);  // ...and the next Start begins a new run
    EXPECT_EQ(energy(31.0).second, 10);
}

TEST(UsbCommands, LiveReadingsVarySmoothlyAroundTheModelsLevel) {
    MeterModel m(MeterConfig{.model = "QTX-200UVA"});
    float low = 1e9f, high = 0;
    float previous = F32At(Ask(m, VkRead(0x0D), 0.0));
    for (double t = 0.5; t < 60.0; t += 0.5) {
        const float p = F32At(Ask(m, VkRead(0x0D), t));
        low = std::min(low, p);
        high = std::max(high, p);
        EXPECT_LT(std::abs(p - previous), 0.05f * 350.0f);
        previous = p;
    }
    EXPECT_GT(low, 300.0f);
    EXPECT_LT(high, 400.0f);
    EXPECT_GT(high - low, 20.0f);
    EXPECT_EQ(F32At(Ask(m, VkRead(0x0D), 7.0)), F32At(Ask(m, VkRead(0x0D), 7.0)));
}

TEST(UsbCommands, MemoryUsageCountsPagesOfFifteen) {
    for (const auto& [records, pages] :
         {std::pair{0, 0}, {15, 1}, {16, 2}, {30, 2}, {7500, 500}, {7515, 501}}) {
        MeterModel m(MeterConfig{.records = records});
        EXPECT_EQ(U16At(Ask(m, VkRead(0x1F))), pages) << records;
    }
}

TEST(UsbCommands, PagesHoldTheStoredReadingsAndEraseEmptiesThem) {
    MeterModel m(MeterConfig{.records = 20});
    const auto& stored = m.State().records;
    const Bytes page1 = Ask(m, VkRead(0x20, 1));
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(F32At(page1, 6 + 4 * r), stored[15 + r]);
    for (int r = 5; r < 15; ++r)
        EXPECT_EQ(F32At(page1, 6 + 4 * r), 0.0f);  // unused slots

    Ask(m, kErase);
    EXPECT_EQ(U16At(Ask(m, VkRead(0x1F))), 0);
    EXPECT_EQ(F32At(Ask(m, VkRead(0x20, 0))), 0.0f);
}

TEST(UsbCommands, PagesPast255FollowOnFromTheLastPageRead) {
    MeterModel m(MeterConfig{.records = 7500});
    for (int page = 0; page < 500; ++page) {
        const Bytes r = Ask(m, VkRead(0x20, static_cast<std::uint8_t>(page)));
        ASSERT_EQ(F32At(r), m.State().records[static_cast<std::size_t>(page) * 15]) << page;
    }
}

TEST(UsbCommands, StoresReadingsEverySaveGapWhileARunIsOn) {
    MeterModel m;
    Ask(m, VkWrite(0x22, I32(2)), 0.0);
    Ask(m, VkWrite(0x21, {0x01}), 0.0);
    Ask(m, VkRead(0x0D), 9.0);
    EXPECT_EQ(m.State().records.size(), 4u);  // at 2, 4, 6 and 8 s
    Ask(m, VkWrite(0x21, {0x00}), 9.0);
    Ask(m, VkRead(0x0D), 30.0);
    EXPECT_EQ(m.State().records.size(), 4u);
}

TEST(UsbCommands, FullMemoryStoresNothingAndAnEraseStartsItAfresh) {
    MeterModel m(MeterConfig{.records = kRecordCapacity});
    Ask(m, VkWrite(0x21, {0x01}), 0.0);  // a run with one reading a second
    Ask(m, VkRead(0x0D), 100.0);
    EXPECT_EQ(m.State().records.size(), static_cast<std::size_t>(kRecordCapacity));
    Ask(m, kErase, 100.0);
    Ask(m, VkRead(0x0D), 101.5);
    EXPECT_EQ(m.State().records.size(), 1u);  // only the reading due at 101 s
}

TEST(UsbCommands, ZeroCalibrationSetsTheZeroValue) {
    MeterModel m;
    m.State().zeroValue = 1.0f;
    Ask(m, VkWrite(0x07, {0xF1}), 3.0);
    const float zero = F32At(Ask(m, VkRead(0x07), 3.0));
    EXPECT_GT(zero, 7000.0f);
    EXPECT_LT(zero, 9000.0f);
}

TEST(UsbCommands, FitDataTextCarriesThePointsAndTheWrittenPolynomial) {
    MeterModel m;
    EXPECT_EQ(Ask(m, FormulaWrite({7.0, 3.0, 0.5, 2.0, 1.5})).size(), 8u);
    const Bytes reply = Ask(m, kFitRead);
    const std::string text(reply.begin(), reply.end());
    EXPECT_LE(text.size(), 5100u);
    EXPECT_EQ(text.find("<01> T:15.000000\xA1\xE6;AD:"), 0u);
    EXPECT_NE(text.find("<50> T:"), std::string::npos);
    EXPECT_NE(text.find("(1.5)x4+(2)x3+(0.5)x2+(3)x+ 7\r\n"), std::string::npos);
}

TEST(UsbCommands, FittingRunCollectsAPointEachSecondAndFitsTheFormulaAtTheEnd) {
    MeterModel m;
    const auto before = m.State().coefficients;
    Ask(m, VkWrite(0x46, {0x30}), 100.0);
    Ask(m, VkRead(0x0D), 103.5);
    EXPECT_EQ(m.State().fitCollected, 3);
    EXPECT_EQ(m.State().fitPoints[3].ad, 0.0f);
    Ask(m, VkWrite(0x46, {0x31}), 103.5);
    EXPECT_EQ(m.State().coefficients, before);  // three points cannot fix a quartic

    Ask(m, VkWrite(0x46, {0x30}), 200.0);
    Ask(m, VkWrite(0x46, {0x31}), 260.0);
    ASSERT_EQ(m.State().fitCollected, 50);
    const auto& c = m.State().coefficients;
    for (const FitPoint& p : m.State().fitPoints) {
        const double x = p.temperature;
        const double y = (((c[4] * x + c[3]) * x + c[2]) * x + c[1]) * x + c[0];
        EXPECT_NEAR(y, p.ad, 1.0) << x;  // the formula reproduces the points it was fitted to
    }
}

TEST(UsbCommands, Qtm300FamilyAnswersItsOwnFrames) {
    MeterModel m(MeterConfig{.model = "QTM300", .family = Family::Qtm300});
    const Bytes ident = Ask(m, {0x8C, 0x00});
    ASSERT_EQ(ident.size(), 16u);
    EXPECT_EQ(ident[0], 0x8C);
    EXPECT_EQ(ident[1], 0x00);
    EXPECT_EQ(Text(ident, 2, 10), "QTM300    ");
    const Bytes info = Ask(m, kQtm300Info);
    ASSERT_EQ(info.size(), 90u);
    EXPECT_EQ(Text(info, 0, 13), "Model:QTM300;");
    EXPECT_TRUE(Ask(m, VkRead(0x01)).empty());        // no VK identification
    EXPECT_EQ(Ask(m, VkRead(0x0D)).size(), 11u);      // but live readings
    EXPECT_TRUE(Ask(m, {0x8C, 0x8C, 0x01}).empty());  // USB-disk mode sends nothing back
    EXPECT_TRUE(m.State().usbDiskMode);

    MeterModel qtx;
    EXPECT_TRUE(Ask(qtx, {0x8C, 0x00}).empty());
}
