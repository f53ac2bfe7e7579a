#include "service/ValueChecks.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qtm {
namespace {

TEST(ValueChecksTest, ValuesAMeterCanTakeGoThroughAsSent) {
    EXPECT_EQ(*CheckSingle(" 1.5 ", "K").value, 1.5f);
    EXPECT_EQ(*CheckSingle("-3.4e38", "K").value, -3.4e38f);
    EXPECT_EQ(*CheckSingle("0", "K").value, 0.0f);  // only Cal K and the formula refuse 0
    EXPECT_EQ(*CheckCalK("3.99").value, 3);
    EXPECT_EQ(*CheckCalK("-2147483648").value, -2147483647 - 1);
    EXPECT_EQ(*CheckSaveInterval("12.9").value, 12);
    EXPECT_EQ(*CheckSaveInterval("2147483647").value, 2147483647);
    EXPECT_EQ(*CheckCoefficient("3e-6", "C").value, 3e-6);
    EXPECT_EQ(*CheckBusAddress("247").value, 247);
}

TEST(ValueChecksTest, ValuesNobodyCanHaveMeantAreRefusedWithTheirReason) {
    struct Case {
        const char* what;
        Checked<int> (*check)(const char*);
        const char* text;
        RefusalKind kind;
    };
    const auto single = [](const char* t) {
        const auto c = CheckSingle(t, "K");
        return Checked<int>{std::nullopt, c.kind, c.error};
    };
    const auto calK = [](const char* t) {
        const auto c = CheckCalK(t);
        return Checked<int>{c.value, c.kind, c.error};
    };
    const auto gap = [](const char* t) {
        const auto c = CheckSaveInterval(t);
        return Checked<int>{c.value, c.kind, c.error};
    };
    const auto coefficient = [](const char* t) {
        const auto c = CheckCoefficient(t, "C");
        return Checked<int>{std::nullopt, c.kind, c.error};
    };
    const auto address = [](const char* t) { return CheckBusAddress(t); };
    const Case cases[] = {
        {"empty", single, "  ", RefusalKind::Empty},
        {"no number", single, "1,5", RefusalKind::NotANumber},
        {"infinity", single, "inf", RefusalKind::NotFinite},
        {"nan", single, "nan", RefusalKind::NotFinite},
        {"overflow to infinity", single, "1e39", RefusalKind::TooLarge},
        {"beyond a double", single, "1e400", RefusalKind::TooLarge},
        {"underflow to 0", single, "1e-50", RefusalKind::TooSmall},
        {"below the normal floats", single, "1e-40", RefusalKind::TooSmall},
        {"Cal K 0", calK, "0", RefusalKind::Zero},
        {"Cal K truncated to 0", calK, "0.5", RefusalKind::Zero},
        {"Cal K beyond the integer", calK, "1e10", RefusalKind::TooLarge},
        {"Cal K just beyond", calK, "2147483648", RefusalKind::TooLarge},
        {"interval 0", gap, "0.9", RefusalKind::Range},
        {"interval negative", gap, "-1", RefusalKind::Range},
        {"interval beyond", gap, "3e9", RefusalKind::TooLarge},
        {"coefficient 0", coefficient, "0.000", RefusalKind::Zero},
        {"coefficient underflow", coefficient, "1e-400", RefusalKind::TooSmall},
        {"broadcast address", address, "0", RefusalKind::Range},
        {"reserved address", address, "248", RefusalKind::Range},
        {"low byte of an address", address, "257", RefusalKind::Range},
        {"fractional address", address, "2.5", RefusalKind::Range},
        {"huge address", address, "1e300", RefusalKind::Range},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Checked<int> r = c.check(c.text);
        EXPECT_FALSE(r.value);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_NE(r.error.find(c.kind == RefusalKind::Empty ? "empty" : c.text), std::string::npos)
            << r.error;
        EXPECT_NE(r.error.find("nothing was sent"), std::string::npos);
    }
}

}  // namespace
}  // namespace qtm
