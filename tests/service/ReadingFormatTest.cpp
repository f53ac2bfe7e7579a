#include "service/ReadingFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace qtm {
namespace {

struct FormatCase {
    const char* model;
    ReadingKind kind;
    float value;
    const char* text;
    const char* unit;  // what the unit holds afterwards; it starts as "unchanged"
};

class FormatReadingTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatReadingTest, GivesTextAndScaledUnit) {
    const FormatCase& c = GetParam();
    std::string text = "old";
    std::string unit = "unchanged";
    FormatReading(text, c.kind, c.value, unit, c.model);
    EXPECT_EQ(text, c.text) << c.model << " " << c.value;
    EXPECT_EQ(unit, c.unit) << c.model << " " << c.value;
}

constexpr auto kPower = ReadingKind::Power;
constexpr auto kEnergy = ReadingKind::Energy;
constexpr auto kPlain = ReadingKind::Plain;

INSTANTIATE_TEST_SUITE_P(
    Readings, FormatReadingTest,
    ::testing::Values(FormatCase{"QTM-200", kPower, 0.0f, "0", "lx"},
                      FormatCase{"QTM-200", kPower, 9999.5f, "9999.5", "lx"},
                      FormatCase{"QTM-200", kPower, 10000.0f, "10", "klx"},
                      FormatCase{"QTM-200", kPower, 25.0f, "25", "lx"},
                      FormatCase{"QTX-210UVA", kEnergy, 12345.6f, "12.346", "J/cm2"},
                      FormatCase{"QTX-210LP", kPower, 2500000.0f, "2.5000", "W"},
                      FormatCase{"qtx-210lm", kPower, 20000.0f, "20", "klm"},
                      FormatCase{"QTX-200PAR", kPower, 20000.0f, "20", "klx"},
                      FormatCase{"QTX-220UV3", kPower, 20000.0f, "20", "klx"},
                      FormatCase{"QTX-210P", kPower, 5.5f, "5.5000", "umol/cm2/s"},
                      FormatCase{"QTX-210P", kPower, 2000000.0f, "2", "kmol/cm2"},
                      FormatCase{"QTX-210P", kEnergy, 15000.0f, "15", "J/cm2"},
                      FormatCase{"QTX-210P", kEnergy, 1500000.0f, "1.5000", "kJ/cm2"},
                      FormatCase{"QTX-200L", kEnergy, 1.25f, "1.2500", "cd/m2.s"},
                      FormatCase{"QTX-200CIL", kPower, 150.25f, "150.25", "mcd/lx"},
                      FormatCase{"QTX-200B", kPower, 1234.5f, "1234.5", "uW/cm2"},
                      FormatCase{"QTX-200LP1", kEnergy, 3000000.0f, "3", "kJ"},
                      FormatCase{"QTM-200", kPower, -3.2f, "-3.2000", "lx"},
                      FormatCase{"QTM-200", kPower, -50000.0f, "-50000", "lx"},
                      FormatCase{"QTM-200", kPower, -12.5f, "-12.5000", "lx"},
                      // 999,999 / 1,000 stays below 1,000 in single precision, so two decimals.
                      FormatCase{"QTM-200", kPower, 999999.0f, "1000.00", "klx"},
                      FormatCase{"QTM-200", kPlain, 123456.7f, "123456.7", "unchanged"},
                      FormatCase{"QTM-200", kPlain, 5.5f, "5.5000", "unchanged"},
                      FormatCase{"QTM-200", kPlain, 10.5f, "10.500", "unchanged"},
                      // Whole numbers beyond int32 are not whole "%d" numbers; they must not be
                      // converted to an integer at all.
                      FormatCase{"QTM-200", kPlain, 3.0e9f, "3000000000.0", "unchanged"},
                      FormatCase{"QTM-200", kPlain, -3.0e9f, "-3000000000.0000", "unchanged"},
                      FormatCase{"QTM-200", kPlain, -2147483648.0f, "-2147483648", "unchanged"}));

TEST(FormatReadingNonFiniteTest, NanAndInfinityDoNotCrashAndStayAtBaseScale) {
    std::string text;
    std::string unit;
    FormatReading(text, ReadingKind::Power, std::numeric_limits<float>::quiet_NaN(), unit,
                  "QTM-200");
    EXPECT_EQ(unit, "lx");
    EXPECT_NE(text.find("nan"), std::string::npos);

    FormatReading(text, ReadingKind::Power, std::numeric_limits<float>::infinity(), unit,
                  "QTM-200");
    EXPECT_EQ(unit, "Mlx");
    EXPECT_NE(text.find("inf"), std::string::npos);
}

TEST(FormatReadingNonFiniteTest, LargestFloatFitsTheText) {
    std::string text = FormatNumber(-std::numeric_limits<float>::max());
    EXPECT_EQ(text.substr(0, 4), "-340");
    EXPECT_EQ(text.substr(text.size() - 5), ".0000");
}

}  // namespace
}  // namespace qtm
