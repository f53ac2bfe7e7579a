#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "device/MeterText.h"

namespace qtm {
namespace {

std::string Decode(const std::vector<std::uint8_t>& bytes) {
    return DecodeMeterText(bytes.data(), bytes.size());
}

TEST(MeterTextTest, DecodesGbkAndStopsAtZero) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string text;
    };
    const Case cases[] = {
        {"ascii unchanged", {'S', 'N', ' ', '1', '2'}, "SN 12"},
        {"stops at zero", {'A', 0, 'B'}, "A"},
        {"empty", {}, ""},
        {"gbk chinese",
         {0xD6, 0xD0, 0xCE, 0xC4, '1'},
         "\xE4\xB8\xAD\xE6\x96\x87"
         "1"},
        {"cut-off double byte", {'A', 0xD6}, "A\xEF\xBF\xBD"},
        {"invalid lead byte",
         {0xFF, 'B'},
         "\xEF\xBF\xBD"
         "B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decode(c.bytes), c.text);
    }
}

TEST(MeterTextTest, EncodesThroughGbkAndRefusesWhatGbkCannotExpress) {
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::string> bytes;
        std::string character;
        bool notUtf8 = false;
    };
    const Case cases[] = {
        {"ascii unchanged", "QTX-200P", "QTX-200P", ""},
        {"chinese", "\xE7\xA5\x84", "\xB5\x6D", ""},
        {"degree celsius", "T\xE2\x84\x83", "T\xA1\xE6", ""},
        {"euro sign, one byte", "\xE2\x82\xAC", "\x80", ""},
        {"A with diaeresis",
         "\xC3\x84"
         "BC",
         std::nullopt, "\xC3\x84"},
        {"emoji", "A\xF0\x9F\x98\x80", std::nullopt, "\xF0\x9F\x98\x80"},
        {"lone byte", "A\xFF", std::nullopt, "\xFF", true},
        {"overlong slash", "\xC0\xAF", std::nullopt, "\xC0", true},
        {"surrogate", "\xED\xA0\x80", std::nullopt, "\xED", true},
        {"cut-off sequence", "A\xE7\xA5", std::nullopt, "\xE7", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MeterTextEncoding encoded = EncodeMeterText(c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.character, c.character);
        EXPECT_EQ(encoded.notUtf8, c.notUtf8);
        // What goes out reads back as the text the operator typed.
        if (encoded.bytes) {
            EXPECT_EQ(DecodeMeterText(*encoded.bytes), c.text);
        }
    }
}

}  // namespace
}  // namespace qtm
