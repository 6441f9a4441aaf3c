#include "korprog/conndrv/Data/PortNames.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/KvPty.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A machine of the test's own: /dev, /dev/serial/by-id and by-path, and
// the kernel's tree of USB devices.
class PortNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.ok());
        for (const char* d : {"dev", "by-id", "by-path", "sys/class/tty"}) fs::create_directories(at(d));
        places.dev = at("dev");
        places.linkDirs = {at("by-id"), at("by-path")};
        places.sysTty = at("sys/class/tty");
    }
    std::string at(const std::string& p) const { return root.path() + "/" + p; }
    // A USB adapter's tty in the kernel's tree, with what it tells of itself.
    void usbAdapter(const std::string& tty, const std::string& maker, const std::string& model)
    {
        const std::string usb = at("sys/devices/pci0/usb1/1-2");
        fs::create_directories(usb + "/1-2:1.0/" + tty);
        TempDir::write(usb + "/idVendor", "0403\n");
        TempDir::write(usb + "/idProduct", "6001\n");
        if (!maker.empty()) TempDir::write(usb + "/manufacturer", maker + "\n");
        if (!model.empty()) TempDir::write(usb + "/product", model + "\n");
        fs::create_directories(at("sys/class/tty/" + tty));
        fs::create_directory_symlink(usb + "/1-2:1.0/" + tty, at("sys/class/tty/" + tty + "/device"));
    }

    TempDir root{"korprog-portnames"};
    PortNames::Places places;
};

TEST_F(PortNamesTest, EachDeviceIsListedOnceWithItsStableNamesAndItsAdapter)
{
    for (const char* name : {"ttyACM0", "ttyUSB10", "ttyUSB2", "ttyS1", "ttyS0", "ttyUSBx", "tty0", "foo"})
        TempDir::write(at("dev/") + name, "");
    fs::create_symlink("../dev/ttyUSB2", at("by-id/usb-FTDI_FT232R_USB_UART_A10K3Z9B-if00-port0"));
    fs::create_symlink("../dev/ttyUSB2", at("by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"));
    usbAdapter("ttyUSB2", "FTDI", "FT232R USB UART");

    const std::vector<PortNames::Port> ports = PortNames::present(places);
    std::vector<std::string> devices;
    for (const auto& p : ports) devices.push_back(fs::path(p.device).filename().string());
    EXPECT_EQ(devices, (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1"}));
    EXPECT_EQ(ports[0].names, (std::vector<std::string>{at("by-id/usb-FTDI_FT232R_USB_UART_A10K3Z9B-if00-port0"),
                                                        at("by-path/pci-0000:00:14.0-usb-0:2:1.0-port0")}));
    EXPECT_EQ(ports[0].usb, "FTDI FT232R USB UART (0403:6001)");
    EXPECT_TRUE(ports[1].names.empty());
    EXPECT_EQ(ports[1].usb, "") << "no adapter known to the kernel";
    EXPECT_TRUE(PortNames::pluggable(ports[2].device));
    EXPECT_FALSE(PortNames::pluggable(ports[3].device));
}

TEST_F(PortNamesTest, PortsGivenByAnyNameAreTheirDevicesOnce)
{
    KvPty a, b;
    fs::create_symlink(a.name, at("korvan0"));
    fs::create_symlink(a.name, at("by-id/usb-Prolific-if00"));
    const std::vector<PortNames::Port> ports =
        PortNames::given({at("korvan0"), b.name, a.name, at("gone")}, places);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].device, a.name);
    EXPECT_EQ(ports[0].names, (std::vector<std::string>{at("by-id/usb-Prolific-if00"), at("korvan0")}));
    EXPECT_EQ(ports[1].device, b.name);
    EXPECT_TRUE(ports[1].names.empty());
    EXPECT_EQ(ports[2].device, at("gone")) << "a name of nothing is still listed, to say so";

    // The short names that mark the output of each port's run.
    EXPECT_EQ(PortNames::shortName(at("korvan0")), a.name.substr(5));
    EXPECT_EQ(PortNames::shortName("COM3"), "ttyS2");
    EXPECT_EQ(PortNames::shortName(at("gone")), "gone");
}

TEST_F(PortNamesTest, AnAdapterThatNamesNoMakerIsKnownByItsNumbers)
{
    usbAdapter("ttyUSB0", "", "");
    EXPECT_EQ(PortNames::usbAdapter("/dev/ttyUSB0", places.sysTty), "0403:6001");
    EXPECT_EQ(PortNames::usbAdapter("/dev/pts/3", places.sysTty), "");
}

} // namespace
