// printf-style formatting keeps the decimal point under a user's locale that writes a comma,
// and leaves that locale in place for everything else.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "GermanLocale.h"
#include "device/CNumberFormat.h"

TEST(CNumberFormat, DecimalPointUnderAGermanLocale) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    struct Case {
        std::string text;
        const char* expected;
    };
    char buffer[64];
    qtm::SnprintfC(buffer, sizeof buffer, "%5.1f|%.3f|%d", 9999.5, 2.5, 1234567);
    const Case cases[] = {
        {buffer, "9999.5|2.500|1234567"},
        {qtm::FormatC("Cal:%.3f;K:%.3f", 2.5, 1.0), "Cal:2.500;K:1.000"},
        {qtm::FormatC("%.9g %g %e", 1.5e-7, 0.25, 12.5), "1.5e-07 0.25 1.250000e+01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, c.expected);

    // The user's locale is still there for the rest of the thread.
    EXPECT_TRUE(german.Active());
}

TEST(CNumberFormat, LongTextsAreWhole) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    const std::string text = qtm::FormatC("%.1f", 1e300);
    EXPECT_EQ(text.size(), 303u);
    EXPECT_EQ(text.substr(text.size() - 2), ".0");
    EXPECT_EQ(text.find(','), std::string::npos);
}

TEST(CNumberFormat, OtherThreadsKeepTheirLocaleMeanwhile) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    std::string fromOther;
    std::thread other([&fromOther] {
        for (int i = 0; i < 2000; ++i) {
            char text[16];
            std::snprintf(text, sizeof text, "%.1f", 0.5);
            if (std::string(text) != "0,5") fromOther = text;
        }
    });
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(qtm::FormatC("%.1f", 0.5), "0.5");
    other.join();
    EXPECT_EQ(fromOther, "");
}
