#include "service/CsvFormat.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace qtm {
namespace {

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text)
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

std::string Fixed6(double value) {
    char text[400];
    return std::string(text, FormatFixed6(text, value));
}

std::string Printf6(double value) {
    char text[400];
    const int n = std::snprintf(text, sizeof text, "%f", value);
    return std::string(text, static_cast<std::size_t>(n));
}

TEST(CsvHeaderTest, EachModelGetsTheHeaderOfItsGroup) {
    const struct {
        std::string_view model;
        std::u16string_view header;
    } cases[] = {
        {"QTX-210P", u"iNo.,PPFD(umol/cm\u00B2/s),Enegry(mj/cm\u00B2),Time(s)"},
        {"QTX-200L1", u"iNo.,L(cd/m\u00B2),Enegry(cd/m2.s),Time(s)"},
        {"QTX-200CIL", u"iNo.,CIL(lm),Enegry(mcd/lx.s),Time(s)"},
        {"qtx-210lm", u"iNo.,\u03A6(lm),Enegry(lm.s),Time(s)"},
        {"QTX-200IR2", u"iNo.,IR(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)"},
        {"QTX-200B", u"iNo.,B(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)"},
        {"QTX-220R", u"iNo.,R(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)"},
        {"QTX-210UVA", u"iNo.,UV(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)"},
        {"QTX-200LP1", u"iNo.,LP(uW),Enegry(mj),Time(s)"},
        {"QTX-200PAR", u"iNo.,Lux(lx),Enegry(lx.s),Time(s)"},
        {"QTX-210UV3", u"iNo.,Lux(lx),Enegry(lx.s),Time(s)"},
        {"QTX-200", u"iNo.,Lux(lx),Enegry(lx.s),Time(s)"},
        {"NO-SUCH", u"iNo.,Lux(lx),Enegry(lx.s),Time(s)"},
        {"", u"iNo.,Lux(lx),Enegry(lx.s),Time(s)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvHeaderOfModel(c.model), c.header) << c.model;
}

TEST(FormatFixed6Test, MatchesPrintfOnEdgeValues) {
    const double max = std::numeric_limits<double>::max();
    const double cases[] = {0.0,
                            -0.0,
                            12.5,
                            -3.2,
                            0.0078125,  // a tie: printf rounds it to even
                            0.0000005,
                            -0.0000004,
                            1e-320,
                            999999.9999995,
                            18446744073709.551,
                            1.8446744073709552e13,
                            123456789012345678.0,
                            static_cast<double>(std::numeric_limits<float>::max()),
                            -static_cast<double>(std::numeric_limits<float>::max()),
                            max,
                            -max,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(),
                            static_cast<double>(std::numeric_limits<float>::denorm_min())};
    for (const double value : cases)
        EXPECT_EQ(Fixed6(value), Printf6(value)) << value;
}

TEST(FormatFixed6Test, MatchesPrintfOnRandomFloatsAndDoubles) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const auto bits = random();
        // Every float bit pattern family, and doubles of every size a reading can have.
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const double d = std::ldexp(static_cast<double>(bits >> 11) / 9007199254740992.0,
                                    static_cast<int>(bits % 100) - 40) *
                         ((bits & 1) ? -1 : 1);
        ASSERT_EQ(Fixed6(static_cast<double>(f)), Printf6(static_cast<double>(f))) << f;
        ASSERT_EQ(Fixed6(d), Printf6(d)) << d;
    }
}

TEST(CsvLineTest, NumberAndThreeFixedValuesWithCrLf) {
    const struct {
        MeasurementRecord record;
        std::string_view line;
    } cases[] = {
        {{1, 12.5f, 0.0, 0.0f}, "1,12.500000,0.000000,0.000000\r\n"},
        {{7500, -0.25f, 123456.78, 1234.5f}, "7500,-0.250000,123456.780000,1234.500000\r\n"},
        {{-2147483647 - 1, 0.1f, 1e-7, 0.0f}, "-2147483648,0.100000,0.000000,0.000000\r\n"},
    };
    for (const auto& c : cases) {
        char16_t line[kMaxCsvLineUnits];
        EXPECT_EQ(Narrow(std::u16string_view(line, AppendCsvLine(line, c.record))), c.line);
    }
}

TEST(CsvLineTest, WidestLineFitsItsBound) {
    const float fmax = std::numeric_limits<float>::max();
    const MeasurementRecord widest{-2147483647 - 1, -fmax, -std::numeric_limits<double>::max(),
                                   -fmax};
    char16_t line[kMaxCsvLineUnits];
    EXPECT_LE(static_cast<std::size_t>(AppendCsvLine(line, widest) - line), kMaxCsvLineUnits);
}

TEST(CsvTextTest, EmptyBufferGivesMarkHeaderAndLineEndOnly) {
    const std::u16string text = CsvText(CsvHeader(ModelGroup::LaserPower), {});
    EXPECT_EQ(text, u"\uFEFFiNo.,LP(uW),Enegry(mj),Time(s)\r\n");
    // Little-endian bytes: FF FE, then 'i' 00 ...
    const std::string bytes = Utf16LeBytes(text);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEi\0", 4));
}

}  // namespace
}  // namespace qtm
