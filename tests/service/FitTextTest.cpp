#include "service/FitText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "device/MeterText.h"
#include "service/NumberText.h"

namespace qtm {
namespace {

FitTextValues Parse(const std::string& text) {
    return ParseFitText(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(FitTextTest, PairsAndFormulaOfTheMeterText) {
    const FitTextValues v = Parse(
        "<01> T:25.5\xA1\xE6;AD:123456\r\n<02> T:-3e1\xA1\xE6;AD:  7.25\r\n"
        "Y=(1.5)x4+(2)x3+(0.5)x2+(3)x+ 7\r\n");
    EXPECT_FLOAT_EQ(v.pairs[0].t, 25.5f);
    EXPECT_FLOAT_EQ(v.pairs[0].ad, 123456.0f);
    EXPECT_FLOAT_EQ(v.pairs[1].t, -30.0f);
    EXPECT_FLOAT_EQ(v.pairs[1].ad, 7.25f);  // blanks before a number are skipped, as strtod does
    EXPECT_FLOAT_EQ(v.pairs[2].t, 0.0f);
    EXPECT_EQ(v.adCount, 2u);
    const double expected[] = {1.5, 2, 0.5, 3, 7};
    for (std::size_t j = 0; j < 5; ++j) {
        ASSERT_TRUE(v.coefficients[j].has_value()) << j;
        EXPECT_DOUBLE_EQ(*v.coefficients[j], expected[j]) << j;
    }
}

TEST(FitTextTest, ValuesLaterInTheTextOverrideAndOnlyWhatIsThereIsSet) {
    // A "T:" sets the pair that the next "D:" closes; "+ " before the fourth "(" is no c0.
    const FitTextValues v = Parse("T:1 T:2 AD:3 + 9 (4)(5)");
    EXPECT_FLOAT_EQ(v.pairs[0].t, 2.0f);
    EXPECT_FLOAT_EQ(v.pairs[0].ad, 3.0f);
    EXPECT_TRUE(v.coefficients[0] && v.coefficients[1]);
    EXPECT_FALSE(v.coefficients[2] || v.coefficients[4]);
    EXPECT_DOUBLE_EQ(*v.coefficients[1], 5.0);
    // Numbers are read with a point whatever the locale; a comma ends them.
    EXPECT_FLOAT_EQ(Parse("AD:1,5").pairs[0].ad, 1.0f);
    EXPECT_FLOAT_EQ(Parse("AD:x").pairs[0].ad, 0.0f);
}

TEST(FitTextTest, MoreThanFiftyPairsAndFiveCoefficientsAreIgnored) {
    std::string text;
    for (int i = 1; i <= 60; ++i)
        text += "T:" + std::to_string(i) + ";AD:" + std::to_string(1000 + i) + "\n";
    text += "(1)(2)(3)(4)(5)(6)(7)+ 8";
    const FitTextValues v = Parse(text);
    EXPECT_EQ(v.adCount, 60u);
    EXPECT_FLOAT_EQ(v.pairs[49].t, 50.0f);
    EXPECT_FLOAT_EQ(v.pairs[49].ad, 1050.0f);
    EXPECT_DOUBLE_EQ(*v.coefficients[4], 5.0);
}

TEST(FitTextTest, MarkersAtTheVeryEndAndHostileBytesAreSafe) {
    for (const std::string& text :
         std::vector<std::string>{"T", "T:", "D:", "(", "+", "(1)(2)(3)(4)+", "(1)(2)(3)(4)+ ",
                                  std::string("AD:\0\0", 5), "T:1e99999;AD:-1e400"}) {
        SCOPED_TRACE(text);
        const FitTextValues v = Parse(text);
        EXPECT_LE(v.adCount, 1u);
    }
    EXPECT_TRUE(std::isinf(Parse("AD:1e999").pairs[0].ad));
    EXPECT_EQ(Parse("AD:1e-999").pairs[0].ad, 0.0f);
    // Random bytes, and random bytes dense with markers: no crash, no read past the end.
    std::mt19937 random(7);
    const std::string alphabet = "TD:(+ 0123456789.eE-\xA1\xE6";
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(random() % 400);
        for (auto& b : bytes)
            b = round % 2 ? static_cast<std::uint8_t>(random())
                          : static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]);
        const FitTextValues v = ParseFitText(bytes);
        EXPECT_LE(v.adCount, bytes.size());
    }
}

TEST(FitTextTest, BusPairsTextHasFiftyNumberedLinesWithTheDegreeSign) {
    FitPairs pairs{};
    pairs[0] = {25.5f, 123456.0f};
    pairs[49] = {-1.0f, 0.25f};
    const std::string gbk = FormatFitPairsText(pairs);
    const std::string text =
        DecodeMeterText(reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size());
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[0], "<01> T:25.500000℃;AD:123456.000000");
    EXPECT_EQ(lines[1], "<02> T:0.000000℃;AD:0.000000");
    EXPECT_EQ(lines[49], "<50> T:-1.000000℃;AD:0.250000");
    // And the text reads back into the same pairs.
    EXPECT_FLOAT_EQ(ParseFitText(std::span<const std::uint8_t>(
                                     reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size()))
                        .pairs[49]
                        .ad,
                    0.25f);
}

TEST(NumberTextTest, CRulesForReadingAndWriting) {
    EXPECT_EQ(FormatFixed(310.9, 1), "310.9");
    EXPECT_EQ(FormatFixed(-0.5, 3), "-0.500");
    EXPECT_EQ(FormatFixed(1.5, 5), "1.50000");
    std::size_t used = 0;
    EXPECT_DOUBLE_EQ(LeadingNumber("  +12.5e1xyz", &used), 125.0);
    EXPECT_EQ(used, 9u);
    EXPECT_DOUBLE_EQ(LeadingNumber("-.5"), -0.5);
    EXPECT_EQ(LeadingNumber("+-1", &used), 0.0);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(WholeNumber(" 12.9 "), 12.9);
    EXPECT_FALSE(WholeNumber("12,9").has_value());
    EXPECT_FALSE(WholeNumber("").has_value());
}

}  // namespace
}  // namespace qtm
