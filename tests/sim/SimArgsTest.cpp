#include "sim/SimArgs.h"

#include <gtest/gtest.h>

using namespace qtmsim;

TEST(SimArgs, AcceptsEveryDocumentedOption) {
    std::string error;
    const auto o = ParseSimArgs({"--model", "QTX-210L", "--family", "qtx200", "--rs485", "--addr",
                                 "17", "--records", "45", "--fault", "badcrc", "--log", "-"},
                                &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->config.model, "QTX-210L");
    EXPECT_TRUE(o->config.rs485);
    EXPECT_EQ(o->config.address, 17);
    EXPECT_EQ(o->config.records, 45);
    EXPECT_EQ(o->config.fault, Fault::BadCrc);
    EXPECT_EQ(o->logPath, "-");
    const auto line = ParseSimArgs({"--rs485", "--addr", "5", "--meters", "3"}, nullptr);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->config.moreAddresses, (std::vector<std::uint8_t>{6, 7}));
}

TEST(SimArgs, Qtm300FamilyDefaultsToItsOwnModelName) {
    const auto o = ParseSimArgs({"--family", "qtm300"}, nullptr);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->config.family, Family::Qtm300);
    EXPECT_EQ(o->config.model, "QTM300");
    EXPECT_EQ(ParseSimArgs({}, nullptr)->config.model, "QTX-200P");
}

TEST(SimArgs, RejectsBadArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--model"},
        {"--model", "ABCDEFGHIJK"},
        {"--family", "qtx100"},
        {"--addr", "5"},  // only with --rs485
        {"--rs485", "--addr", "0"},
        {"--rs485", "--addr", "248"},
        {"--records", "-1"},
        {"--records", "12x"},
        {"--fault", "sometimes"},
        {"--meters", "2"},  // only with --rs485
        {"--rs485", "--addr", "246", "--meters", "3"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(ParseSimArgs(args, &error)) << testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}
