#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "TempDir.h"
#include "device/MeterLink.h"
#include "device/platform/SystemPorts.h"

namespace qtm {
namespace {

namespace fs = std::filesystem;

TEST(PortListTest, NaturalOrderComparesNumbersByValue) {
    std::vector<std::string> names{"ttyUSB0", "ttyS10", "ttyS2", "ttyS1", "ttyACM0", "ttyS01x"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS1", "ttyS01x", "ttyS2", "ttyS10",
                                               "ttyUSB0"}));
    EXPECT_FALSE(NaturalLess("ttyS1", "ttyS1"));
    EXPECT_TRUE(NaturalLess("ttyS9", "ttyS99999999999999999999"));
}

TEST(PortListTest, TrailingSingleDigit) {
    struct Case {
        const char* name;
        int digit;  // -1: none
    };
    const Case cases[] = {{"COM3", 3},  {"ttyUSB0", 0}, {"ttyS10", -1},
                          {"ttyS", -1}, {"", -1},       {"7", 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TrailingSingleDigit(c.name).value_or(-1), c.digit);
    }
}

class SysfsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    // One tty entry: with or without a device link, with an optional UART type.
    void Entry(const std::string& name, bool device, const char* type = nullptr) {
        fs::create_directories(dir.Path() / name);
        if (device) fs::create_directories(dir.Path() / name / "device");
        if (type) std::ofstream(dir.Path() / name / "type") << type << "\n";
    }
};

TEST_F(SysfsTest, ListsHardwarePortsInNaturalOrderSkippingAbsentUarts) {
    Entry("ttyS10", true, "4");
    Entry("ttyS1", true, "4");
    Entry("ttyS2", true, "0");  // legacy slot without a UART
    Entry("ttyUSB0", true);
    Entry("ttyACM1", true);
    Entry("tty0", false);  // virtual console
    Entry("ptmx", false);
    EXPECT_EQ(
        ListSystemSerialPorts(dir.Path().string()),
        (std::vector<std::string>{"/dev/ttyACM1", "/dev/ttyS1", "/dev/ttyS10", "/dev/ttyUSB0"}));
    EXPECT_TRUE(ListSystemSerialPorts((dir.Path() / "missing").string()).empty());
}

TEST_F(SysfsTest, LinkListsSystemThenAddedThenSimulatorPorts) {
    Entry("ttyUSB1", true);
    Entry("ttyS0", true, "4");
    MeterLink link;
    link.SetSysfsRoot(dir.Path().string());
    link.AddExtraPort("/tmp/a/port12");
    link.AddExtraPort("/dev/ttyUSB1");  // already listed: kept once
    link.SetSimulatorPort("/dev/pts/9");
    link.EnumeratePorts();
    EXPECT_EQ(link.PortList(), (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB1",
                                                         "/tmp/a/port12", "/dev/pts/9"}));
    EXPECT_EQ(link.PortCount(), 4);
    EXPECT_EQ(link.LastPortDigit(), 9);

    link.SetSystemPortsEnabled(false);
    link.SetSimulatorPort("");
    link.EnumeratePorts();
    EXPECT_EQ(link.PortList(), (std::vector<std::string>{"/tmp/a/port12", "/dev/ttyUSB1"}));
    EXPECT_EQ(link.LastPortDigit(), 1);

    link.ClearExtraPorts();
    link.EnumeratePorts();
    EXPECT_EQ(link.PortCount(), 0);
    EXPECT_EQ(link.LastPortDigit(), 1);  // only a listed name changes it
}

// With nothing answering, the sentence names the port the user gave: a system port listed
// before it and refused must not take its place. "null" in the fake tree lists /dev/null,
// which opens and is then found to be no terminal.
TEST_F(SysfsTest, NamedPortsRefusalIsToldBeforeASystemPortsRefusal) {
    Entry("null", true);
    const struct {
        std::vector<std::string> named;
        const char* told;
    } cases[] = {
        {{}, "/dev/null"},
        {{"/dev/qtm-test-missing"}, "/dev/qtm-test-missing"},
        {{"/dev/qtm-test-missing", "/dev/zero"}, "/dev/zero"},  // there but refused comes first
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        MeterLink link;
        link.SetSysfsRoot(dir.Path().string());
        for (const std::string& port : c.named)
            link.AddExtraPort(port);
        link.EnumeratePorts();
        ASSERT_EQ(link.PortList().front(), "/dev/null");
        std::string model;
        EXPECT_EQ(link.FindMeter(model), -1);
        EXPECT_EQ(link.LastOpenError().path, c.told);
    }
}

}  // namespace
}  // namespace qtm
