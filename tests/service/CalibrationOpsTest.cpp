#include "service/CalibrationOps.h"

#include <gtest/gtest.h>

#include "device/ModbusFrame.h"
#include "device/SimFixture.h"
#include "device/VkBytes.h"
#include "service/NumberText.h"

namespace qtm {
namespace {

using test::Vk;

TEST(RangeFromZeroTest, FullScaleLessZeroOverCalInThousands) {
    const auto r = RangeFromZero(16000000.0f, 2.5f);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(FormatFixed(*r, 1), "310.9");
    EXPECT_FALSE(RangeFromZero(16000000.0f, 0.0f).has_value());
}

using UsbCalibrationTest = test::SimFixture;
using BusCalibrationTest = test::SimFixture;

TEST_F(UsbCalibrationTest, ZeroCalibrationThenZeroReadGivesTheMeterValue) {
    StartMeter();
    ASSERT_TRUE(ZeroCalibrate(link, {}));
    float stored = 0;
    meter->WithModel([&](qtmsim::MeterModel& m) { stored = m.State().zeroValue; });
    const ZeroReadout zero = ReadZeroValue(link, {});
    EXPECT_TRUE(zero.ok);
    EXPECT_FLOAT_EQ(zero.zero, stored);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{Vk({0x43, 0x07, 0x01, 0x00, 0xF1, 0x00}),
                                              Vk({0x42, 0x07, 0x01, 0x00, 0x01})}));
}

TEST_F(UsbCalibrationTest, FittingCodesCalKAndFormulaInTheMeterOrder) {
    StartMeter();
    EXPECT_EQ(SetFitStateUsb(link, vk::kFitEnd), 0);
    EXPECT_TRUE(WriteCalK(link, TruncateToInt32(3.99)));
    EXPECT_TRUE(WriteFormula(link, {1.5, 2, 0.5, 3, 7}));
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], Vk({0x43, 0x46, 0x01, 0x00, 0x31, 0x00}));
    EXPECT_EQ(requests[1], Vk({0x43, 0x43, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(requests[2], BuildPolynomialWrite(7, 3, 0.5, 2, 1.5));
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_FLOAT_EQ(m.State().calK, 3.0f); });
    // The formula comes back in the fitting-data read, c4 first.
    const FitReadout fit = ReadFitDataUsb(link, {});
    ASSERT_TRUE(fit.sent);
    EXPECT_EQ(fit.coefficients, (FitCoefficients{1.5, 2, 0.5, 3, 7}));
    EXPECT_NE(fit.text.find("℃"), std::string::npos);
}

TEST_F(UsbCalibrationTest, SilentMeterGivesNoZeroAndFailedWrites) {
    StartMeter({.fault = qtmsim::Fault::Silent});
    EXPECT_FALSE(ReadZeroValue(link, {}).ok);
    EXPECT_FALSE(ZeroCalibrate(link, {}));
    EXPECT_NE(SetFitStateUsb(link, vk::kFitStart), 0);
    // Coefficients the text does not give keep what the window had.
    const FitReadout fit = ReadFitDataUsb(link, {1, 2, 3, 4, 5});
    EXPECT_EQ(fit.coefficients, (FitCoefficients{1, 2, 3, 4, 5}));
}

TEST_F(BusCalibrationTest, RegisterFormsAndTheFiftyPairText) {
    StartMeter({.rs485 = true});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    const MeterTarget bus{CommMode::Rs485, 1};
    EXPECT_TRUE(ZeroCalibrate(link, bus));
    EXPECT_TRUE(StartFittingOnBus(link, 1));
    const std::array<std::uint8_t, 2> zeroData{0x00, 0x01};
    EXPECT_EQ(Requests(),
              (std::vector<Bytes>{BuildWriteRegistersRequest(1, 0xE012, 1, 2, zeroData),
                                  BuildWriteRegistersRequest(1, 0xE010, 1, 2, kFitStartData)}));
    meter->WithModel([](qtmsim::MeterModel& m) {
        m.State().fitPoints[0] = {21.5f, 1234.0f};
        m.State().coefficients = {7, 3, 0.5, 2, 1.5};
    });
    const FitReadout fit = ReadFitDataBus(link, 1, {});
    EXPECT_FLOAT_EQ(fit.pairs[0].t, 21.5f);
    EXPECT_FLOAT_EQ(fit.pairs[0].ad, 1234.0f);
    EXPECT_EQ(fit.coefficients, (FitCoefficients{1.5, 2, 0.5, 3, 7}));
    EXPECT_EQ(fit.text.rfind("<01> T:21.500000℃;AD:1234.000000\r\n<02>", 0), 0u);
    const ZeroReadout zero = ReadZeroValue(link, bus);
    ASSERT_TRUE(zero.ok && zero.block);
    EXPECT_FLOAT_EQ(zero.block->cal, 2.5f);
}

TEST_F(BusCalibrationTest, FailedFitReadsLeavePairsAtZeroAndCoefficientsAsTheyWere) {
    StartMeter({.rs485 = true, .fault = qtmsim::Fault::BadCrc});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    const FitReadout fit = ReadFitDataBus(link, 1, {9, 8, 7, 6, 5});
    EXPECT_EQ(fit.coefficients, (FitCoefficients{9, 8, 7, 6, 5}));
    EXPECT_FLOAT_EQ(fit.pairs[3].ad, 0.0f);
    EXPECT_EQ(fit.text.size(), FormatFitPairsText({}).size() + 50);  // "℃" is 3 bytes in UTF-8
}

}  // namespace
}  // namespace qtm
