// The Linux registry view: adapters found in a sysfs tree (built here in a
// temporary folder) appear as discovery expects them, and added paths too.
#ifdef __linux__
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/LinkEngine.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/LoopbackSerialPort.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/doubles/VirtualEventPump.h"
#include "platform/linux/SysfsRegistry.h"

namespace fs = std::filesystem;

namespace orvalink {
namespace {

class SysfsRegistryTest : public ::testing::Test {
protected:
    SysfsRegistryTest() {
        root = fs::temp_directory_path() / ("orvalink-sysfs-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "class" / "tty");
        fs::create_directories(root / "bus" / "usb-serial" / "drivers" / "pl2303");
    }
    ~SysfsRegistryTest() override { fs::remove_all(root); }

    // A USB device at usbName with one serial port tty.
    void AddUsbSerial(const std::string& usbName, const std::string& tty, const std::string& vendor,
                      const std::string& product, bool bound) {
        const fs::path usb = root / "devices" / "usb1" / usbName;
        const fs::path port = usb / (usbName + ":1.0") / tty;
        fs::create_directories(port);
        std::ofstream(usb / "idVendor") << vendor << "\n";
        std::ofstream(usb / "idProduct") << product << "\n";
        if (bound) fs::create_directory_symlink(root / "bus" / "usb-serial" / "drivers" / "pl2303", port / "driver");
        fs::create_directories(root / "class" / "tty" / tty);
        fs::create_directory_symlink(port, root / "class" / "tty" / tty / "device");
    }

    fs::path root;
};

TEST_F(SysfsRegistryTest, AProlificAdapterAppearsUnderTheAdapterKey) {
    AddUsbSerial("1-1", "ttyUSB0", "067b", "2303", true);
    AddUsbSerial("1-2", "ttyUSB1", "0403", "6001", true);  // another maker's adapter
    fs::create_directories(root / "class" / "tty" / "ttyS0");
    SysfsRegistry reg(root.string(), "/dev");
    auto names = reg.SubKeyNames(kNtAdapterKey);
    ASSERT_EQ(names.size(), 1u);
    const std::string key = std::string(kNtAdapterKey) + "\\" + names[0];
    EXPECT_TRUE(reg.ValueExists(key + "\\Control", "ActiveService"));
    EXPECT_TRUE(reg.ValueExists(key + "\\Control", "DeviceReference"));
    EXPECT_EQ(reg.ReadString(key + "\\Device Parameters", "PortName").value_or(""), "COM1");
    EXPECT_EQ(reg.PortPath(1), "/dev/ttyUSB0");
    EXPECT_EQ(reg.PortPath(2), "");
}

TEST_F(SysfsRegistryTest, AnUnboundAdapterHasNoActiveService) {
    AddUsbSerial("1-1", "ttyUSB3", "067B", "2303", false);
    SysfsRegistry reg(root.string(), "/dev");
    auto names = reg.SubKeyNames(kNtAdapterKey);
    ASSERT_EQ(names.size(), 1u);
    const std::string key = std::string(kNtAdapterKey) + "\\" + names[0];
    EXPECT_FALSE(reg.ValueExists(key + "\\Control", "ActiveService"));
    EXPECT_EQ(reg.ReadString(key + "\\Device Parameters", "PortName").value_or(""), "COM4");
}

TEST_F(SysfsRegistryTest, DiscoveryFindsAnAddedPath) {
    SysfsRegistry reg(root.string(), "/dev");
    EXPECT_FALSE(reg.AddPortEntry("=COM3"));
    EXPECT_FALSE(reg.AddPortEntry("/dev/pts/7=COM99"));
    ASSERT_TRUE(reg.AddPortEntry("/dev/pts/7=COM5"));
    EXPECT_EQ(reg.PortPath(5), "/dev/pts/7");
    VirtualEventPump pump;
    LoopbackSerialPort port(pump);
    ScriptedUiServices ui;
    FixedClock clock;
    LinkView view;
    LinkEngine link(port, pump, reg, ui, clock, view);
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(n, 5);
}

TEST_F(SysfsRegistryTest, PathsFromTheEnvironment) {
    ::setenv("ORVALINK_LINK_PORT", "/tmp/a=COM4,/tmp/b,bad=COM0", 1);
    SysfsRegistry reg(root.string(), "/dev");
    EXPECT_FALSE(reg.AddPortsFromEnvironment());
    ::unsetenv("ORVALINK_LINK_PORT");
    EXPECT_EQ(reg.PortPath(4), "/tmp/a");
    EXPECT_EQ(reg.PortPath(9), "/tmp/b");
    EXPECT_EQ(reg.SubKeyNames(kNtAdapterKey).size(), 2u);
}

TEST_F(SysfsRegistryTest, PortTextsAddTheirGoodEntriesAndReportABadOne) {
    struct Case {
        const char* text;
        bool ok;
        size_t ports;
    };
    for (const Case& c : {Case{"", true, 0}, Case{",,", true, 0}, Case{"/dev/pts/4=COM3", true, 1},
                          Case{"/dev/pts/4=COM3,,/dev/ttyS0", true, 2}, Case{"=COM3", false, 0},
                          Case{"/x=COM64,/y=COM63", false, 1}, Case{"/x=COMx,/y", false, 1}}) {
        SysfsRegistry reg(root.string(), "/dev");
        EXPECT_EQ(reg.AddPortsFromText(c.text), c.ok) << c.text;
        EXPECT_EQ(reg.SubKeyNames(kNtAdapterKey).size(), c.ports) << c.text;
    }
    SysfsRegistry reg(root.string(), "/dev");
    ASSERT_TRUE(reg.AddPortsFromText("/dev/pts/4=COM3,/dev/ttyS0"));
    EXPECT_EQ(reg.PortPath(3), "/dev/pts/4");
    EXPECT_EQ(reg.PortPath(9), "/dev/ttyS0");  // no number is COM9
    EXPECT_EQ(reg.PortPath(4), "");
}

TEST_F(SysfsRegistryTest, NoAdapterMeansNoDriverInstalled) {
    SysfsRegistry reg(root.string(), "/dev");
    VirtualEventPump pump;
    LoopbackSerialPort port(pump);
    ScriptedUiServices ui;
    FixedClock clock;
    LinkView view;
    LinkEngine link(port, pump, reg, ui, clock, view);
    int n = 0;
    EXPECT_FALSE(link.FindVisualComPort(n));
    EXPECT_FALSE(link.EnsureLinkPort());
    EXPECT_EQ(ui.MessageTexts().back(), "Visual ComPort Not Found !");
}

TEST(UdevPortEvents, OnlyTheProlificAdaptersTtysAreReported) {
    auto add = PortEventFromUdev("add", "ttyUSB1", "067b", "2303");
    EXPECT_TRUE(add.isPort);
    EXPECT_EQ(add.kind, DeviceChangeEvent::Kind::Arrival);
    EXPECT_EQ(add.name, "COM2");
    auto gone = PortEventFromUdev("remove", "ttyUSB1", "067B", "2303");
    EXPECT_EQ(gone.kind, DeviceChangeEvent::Kind::RemoveComplete);
    EXPECT_FALSE(PortEventFromUdev("add", "ttyUSB1", "0403", "6001").isPort);
    EXPECT_FALSE(PortEventFromUdev("change", "ttyUSB1", "067b", "2303").isPort);
    EXPECT_FALSE(PortEventFromUdev("add", "ttyUSB", "067b", "2303").isPort);
    EXPECT_EQ(ComNumberOfTty("ttyUSB62"), 63);
    EXPECT_EQ(ComNumberOfTty("ttyUSB63"), 0);
}

}  // namespace
}  // namespace orvalink
#endif
