#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qtm
