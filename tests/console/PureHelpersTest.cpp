#include <gtest/gtest.h>

#include "console/DecimalText.h"
#include "console/LaunchOptions.h"

TEST(DecimalText, NumbersReadAsAtofDoes) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"2000", 2000}, {"  12.5", 12.5}, {"-3", -3},  {"1e3", 1000}, {"7abc", 7},
        {"", 0},        {"abc", 0},       {".5", 0.5}, {"+4.", 4},    {"1,5", 1},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(qtm::DecimalNumber(QString::fromLatin1(c.text)), c.value) << c.text;
    }
}

TEST(LaunchOptions, ParsesTheWindowCommandLine) {
    const LaunchParse p = ParseLaunchOptions(
        {"--simulate=QTX-210UVA", "--port", "/dev/ttyUSB3", "--port=/tmp/p", "--no-system-ports"});
    ASSERT_TRUE(p.ok) << p.error.toStdString();
    EXPECT_TRUE(p.options.simulate);
    EXPECT_EQ(p.options.simulateModel, "QTX-210UVA");
    EXPECT_EQ(p.options.ports, (std::vector<std::string>{"/dev/ttyUSB3", "/tmp/p"}));
    EXPECT_TRUE(p.options.noSystemPorts);

    const LaunchParse none = ParseLaunchOptions({});
    ASSERT_TRUE(none.ok);
    EXPECT_FALSE(none.options.simulate);
    EXPECT_TRUE(none.options.ports.empty());
    EXPECT_FALSE(none.options.noSystemPorts);
    EXPECT_EQ(none.options.dismissMessagesMs, -1);

    const LaunchParse plain = ParseLaunchOptions({"--simulate"});
    EXPECT_TRUE(plain.options.simulate);
    EXPECT_TRUE(plain.options.simulateModel.empty());
}

TEST(LaunchOptions, RefusesBadCommandLines) {
    const QStringList bad[] = {
        {"--port"}, {"--port="}, {"--simulate="}, {"--frobnicate"}, {"--dismiss-messages-after=x"}};
    for (const QStringList& args : bad) {
        const LaunchParse p = ParseLaunchOptions(args);
        EXPECT_FALSE(p.ok) << args.join(' ').toStdString();
        EXPECT_FALSE(p.error.isEmpty());
    }
}
