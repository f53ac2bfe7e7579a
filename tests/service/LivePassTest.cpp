#include "service/LivePass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/SimFixture.h"
#include "device/VkFrame.h"

namespace qtm {
namespace {

TEST(StorageFillTest, PagesGiveUsedPercentTextAndBar) {
    struct Case {
        std::uint16_t pages;
        int used;
        bool plausible;
        const char* text;
        int bar;
    };
    const Case cases[] = {
        {0, 0, true, "0/7500", 0},
        {1, 15, true, "15/7500", 0},  // 0.2 % truncates to nothing
        {250, 3750, true, "3750/7500", 50},
        {499, 7485, true, "7485/7500", 99},
        {500, 7500, true, "7500/7500", 100},
        // One page beyond the memory: not believed, so the window keeps what it showed.
        {501, 7515, false, "7515/7500", 100},
    };
    for (const Case& c : cases) {
        const StorageFill fill = StorageFillOf(c.pages);
        EXPECT_EQ(fill.used, c.used) << c.pages;
        EXPECT_EQ(fill.Plausible(), c.plausible) << c.pages;
        EXPECT_EQ(StorageText(fill.used), c.text) << c.pages;
        EXPECT_EQ(StorageBarValue(fill.percent), c.bar) << c.pages;
    }
    EXPECT_EQ(StorageBarValue(-1.0f), 0);
}

TEST(PassPacerTest, StopCutsAWaitShortUntilResumed) {
    PassPacer pacer;
    EXPECT_TRUE(pacer.Wait(1));
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pacer.Stop();
    });
    EXPECT_FALSE(pacer.Wait(20000));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(pacer.Wait(20000));  // stays stopped
    pacer.Resume();
    EXPECT_TRUE(pacer.Wait(1));
}

class UsbPassTest : public test::SimFixture {};

TEST_F(UsbPassTest, ReadsTheStorageAfterTheFiveLiveReads) {
    StartMeter({.records = 150});
    const UsbPass pass = ReadUsbPass(link, {});
    EXPECT_TRUE(pass.values.powerOk);
    ASSERT_TRUE(pass.storagePages.has_value());
    EXPECT_EQ(StorageFillOf(*pass.storagePages).used, 150);
    const std::vector<std::uint8_t> codes{0x0D, 0x21, 0x25, 0x26, 0x27, vk::kMemoryUsage};
    EXPECT_EQ(RequestCodes(), codes);
}

TEST_F(UsbPassTest, AStorageCountThatNeverArrivesIsNotAnEmptyMemory) {
    StartMeter({.records = 150});
    meter->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request[3] == vk::kMemoryUsage) return Bytes{};
        return std::nullopt;
    });
    const UsbPass pass = ReadUsbPass(link, {});
    EXPECT_TRUE(pass.values.powerOk);
    EXPECT_FALSE(pass.storagePages.has_value());
}

TEST_F(UsbPassTest, AStopBetweenReadsEndsThePassWithoutAReading) {
    StartMeter();
    int asked = 0;
    const UsbPass pass = ReadUsbPass(link, {}, [&] { return ++asked < 2; });
    EXPECT_FALSE(pass.values.powerOk);
    EXPECT_FALSE(pass.storagePages.has_value());
    // Power and energy went out; the stop came before the temperature read.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{0x0D, 0x21}));
}

TEST_F(UsbPassTest, AMissingPortGivesNoReadingAndNoStorage) {
    StartMeter();
    link.SetPortName("/dev/qtm-test-no-such-port");
    const UsbPass pass = ReadUsbPass(link, {.power = 3.0f, .powerOk = true});
    EXPECT_FALSE(pass.values.powerOk);
    EXPECT_FLOAT_EQ(pass.values.power, 3.0f);
    EXPECT_FALSE(pass.storagePages.has_value());
    EXPECT_TRUE(RequestCodes().empty());
}

TEST_F(UsbPassTest, AStoppedPacerSendsNoBusRequest) {
    StartMeter({.rs485 = true});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    PassPacer pacer;
    pacer.Stop();
    EXPECT_FALSE(ReadBusPass(link, 1, pacer).has_value());
    EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace qtm
