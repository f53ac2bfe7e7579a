#include "device/platform/PortDetails.h"

#include <gtest/gtest.h>

#include <fstream>

#include "PtyPair.h"
#include "TempDir.h"

namespace qtm {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: class/tty/NAME/device links into devices/, a
// USB adapter's tty two folders below the USB device that names it.
class PortDetailsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path usb = root() / "devices/pci0000:00/0000:00:14.0/usb1";
        UsbDevice(usb / "1-1", {{"idVendor", "0403"},
                                {"idProduct", "6001"},
                                {"manufacturer", "FTDI"},
                                {"product", "FT232R USB UART"},
                                {"serial", "A50285BI\r"}});
        Tty("ttyUSB0", usb / "1-1/1-1:1.0/ttyUSB0");
        UsbDevice(usb / "1-2", {{"idVendor", "2341"}, {"idProduct", "0043"}});
        Tty("ttyACM0", usb / "1-2/1-2:1.0");
        Tty("ttyS0", root() / "devices/platform/serial8250");
        fs::create_directories(root() / "class/tty/tty0");  // a console: no device
    }
    fs::path root() const { return dir.Path() / "sys"; }
    void UsbDevice(const fs::path& folder,
                   std::initializer_list<std::pair<const char*, const char*>> files) {
        fs::create_directories(folder);
        for (const auto& [name, text] : files)
            std::ofstream(folder / name) << text << "\n";
    }
    void Tty(const std::string& name, const fs::path& device) {
        fs::create_directories(device);
        const fs::path entry = root() / "class/tty" / name;
        fs::create_directories(entry);
        fs::create_directory_symlink(fs::relative(device, entry), entry / "device");
    }
    std::string Describe(const std::string& port) const {
        return DescribePortDetails(ReadPortDetails(port, root().string()));
    }

    test::TempDir dir;
};

TEST_F(PortDetailsTest, EachPortSaysWhatItIs) {
    std::ofstream(dir.Path() / "plain") << "x";
    const std::pair<std::string, const char*> cases[] = {
        {"/dev/ttyUSB0", "USB 0403:6001  FTDI  FT232R USB UART  serial A50285BI"},
        {"/dev/ttyACM0", "USB 2341:0043"},  // a device that names neither maker nor product
        {"/dev/ttyS0", "serial port"},
        {"/dev/tty0", "terminal without serial hardware"},
        {"/dev/qtm-test-missing", "does not exist"},
        {"/dev/null", "not a serial port"},
        {(dir.Path() / "plain").string(), "not a serial port"},
    };
    for (const auto& [port, description] : cases)
        EXPECT_EQ(Describe(port), description) << port;
}

TEST_F(PortDetailsTest, ALinkIsFollowedToItsPortAndAPseudoTerminalIsNamed) {
    // As /dev/serial/by-id/... links to ../../ttyUSB0.
    fs::create_directories(dir.Path() / "dev/serial/by-id");
    std::ofstream(dir.Path() / "dev/ttyUSB0") << "";
    const fs::path link = dir.Path() / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI";
    fs::create_symlink("../../ttyUSB0", link);
    EXPECT_EQ(Describe(link.string()), "USB 0403:6001  FTDI  FT232R USB UART  serial A50285BI");

    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    EXPECT_EQ(Describe(pty.Path()), "pseudo-terminal");
}

}  // namespace
}  // namespace qtm
