// Port discovery over the registry view, the device-change handler, opening
// and closing the link port, and the test page's settings combos.
#include <gtest/gtest.h>

#include "link/sim/SimLink.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class PortDiscoveryTest : public LinkFixture {
protected:
    void SetUp() override { registry.RemoveKey(kNtAdapterKey); }
};

TEST_F(PortDiscoveryTest, OneAdapterIsFound) {
    AddNtAdapter(registry, "6&1", "COM4");
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(link.Discovery().PortNumber(), 4);
    EXPECT_EQ(link.Discovery().PortName(), "COM4");
    EXPECT_TRUE(link.Discovery().PortFound());
    EXPECT_EQ(view.foundName, "COM4");
    EXPECT_EQ(view.trayHint, "Visual ComPort is COM4");
    EXPECT_EQ(view.trayImage, 1);
    EXPECT_EQ(link.Discovery().PumpInterval(), 2000);
    const std::string key = std::string(kNtAdapterKey) + "\\6&1";
    EXPECT_EQ(view.comMemo,
              "Windows Version is Win NT/2000/XP Open Register Key \n"
              "HKEY_LOCALMACHINE\\" + std::string(kNtAdapterKey) + "  ---> OK! \n\n" +
              key + "\\Control\n" + key + "\\Device Parameters\n"
              "Finding Visual ComPort ..... COM4 \n \n");
}

TEST_F(PortDiscoveryTest, ThePresentAdapterWinsOverAnUnpluggedOneVisitedFirst) {
    // Sub-keys are visited from the last name to the first: "b" before "a".
    AddNtAdapter(registry, "a", "COM5", /*present=*/true);
    AddNtAdapter(registry, "b", "COM6", /*present=*/false);
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(n, 5);
}

// The virtual remote's registration (benchmarks, fuzz targets) is a present,
// serviced adapter: it wins over an unplugged one visited first, and a serviced
// one visited later, and its number is the one the simulator's port answers to.
TEST_F(PortDiscoveryTest, TheVirtualRemotesRegistrationIsFound) {
    AddNtAdapter(registry, "z", "COM6", /*present=*/false);
    RegisterSimPort(registry, "m");
    AddNtAdapter(registry, "a", "COM5", /*present=*/false);
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(n, kSimComNumber);
    EXPECT_EQ(link.Discovery().PortName(), "COM3");
}

TEST_F(PortDiscoveryTest, WithoutAPresentAdapterTheFirstServicedOneIsTaken) {
    AddNtAdapter(registry, "a", "COM5", false);
    AddNtAdapter(registry, "b", "COM6", false);
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(n, 6);
}

TEST_F(PortDiscoveryTest, NoSubKeysMeansNoDriver) {
    registry.AddKey(kNtAdapterKey);
    int n = 99;
    EXPECT_FALSE(link.FindVisualComPort(n));
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
    EXPECT_NE(view.comMemo.find("Visual ComPort Driver Not Install !\n <<" + std::string(kNtAdapterKey) + ">> \n"),
              std::string::npos);
}

TEST_F(PortDiscoveryTest, NoActiveServiceMeansRemoved) {
    AddNtAdapter(registry, "a", "COM5", true, /*serviced=*/false);
    int n = 0;
    EXPECT_FALSE(link.FindVisualComPort(n));
    EXPECT_NE(view.comMemo.find("Visual ComPort Is Remove !"), std::string::npos);
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
}

TEST_F(PortDiscoveryTest, MissingAdapterKey) {
    int n = 0;
    EXPECT_FALSE(link.FindVisualComPort(n));
    EXPECT_NE(view.comMemo.find("Open Register Key Error ! <<" + std::string(kNtAdapterKey) + ">> 1 \n"),
              std::string::npos);
}

TEST_F(PortDiscoveryTest, UnreadableDeviceParametersEndDiscovery) {
    AddNtAdapter(registry, "a", "COM5");
    registry.DenyKey(std::string(kNtAdapterKey) + "\\a\\Device Parameters");
    int n = 0;
    EXPECT_FALSE(link.FindVisualComPort(n));
    EXPECT_NE(view.comMemo.find("Open Register Key Error ! <<"), std::string::npos);
}

TEST_F(PortDiscoveryTest, PortNamesAndTheirRanges) {
    EXPECT_EQ(PortNumberFromName("COM3"), 3);
    EXPECT_EQ(PortNumberFromName("COM12"), 12);
    EXPECT_EQ(PortNumberFromName("COM"), 0);
    EXPECT_EQ(PortNumberFromName("COMx"), 0);
    // Discovery takes 1..63 only.
    AddNtAdapter(registry, "a", "COM64");
    int n = 0;
    EXPECT_FALSE(link.FindVisualComPort(n));
}

TEST_F(PortDiscoveryTest, TheWindows95Family) {
    LinkEngine old(port, pump, registry, ui, clock, view, 0xC0000A04);  // 95 family
    registry.SetValue(std::string(k95AdapterKey) + "\\x", "PORTNAME", "COM2");
    registry.SetValue(std::string(k95AdapterKey) + "\\y", "PORTNAME", "COM7");
    int n = 0;
    ASSERT_TRUE(old.FindVisualComPort(n));
    EXPECT_EQ(old.Discovery().Family(), WindowsFamily::Win95);
    EXPECT_EQ(old.Discovery().PumpInterval(), 10000);
    // Visited last to first: the last visited valid one ("x") wins.
    EXPECT_EQ(n, 2);
    EXPECT_EQ(view.trayHint, "Visual ComPort is Active !");
}

TEST_F(PortDiscoveryTest, Win32sNeverFinds) {
    LinkEngine ancient(port, pump, registry, ui, clock, view, 0x80000003);
    AddNtAdapter(registry, "a", "COM5");
    int n = 0;
    EXPECT_FALSE(ancient.FindVisualComPort(n));
    EXPECT_EQ(view.comMemo, "Windows Version is Win 3.x or after! ");
}

TEST_F(PortDiscoveryTest, EnsureLinkPortOpensTheFoundPort) {
    AddNtAdapter(registry, "a", "COM3");
    ASSERT_TRUE(link.EnsureLinkPort());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortNumber(), 3);
}

TEST_F(PortDiscoveryTest, EnsureLinkPortWithoutAPortSaysSo) {
    EXPECT_FALSE(link.EnsureLinkPort());
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, "Visual ComPort Not Found !");
    EXPECT_EQ(ui.Messages()[0].icon, MsgIcon::Error);
}

TEST_F(PortDiscoveryTest, APortWithoutPermissionIsExplainedInTheLog) {
    AddNtAdapter(registry, "a", "COM3");
    port.DenyAccess(true);
    link.EnsureLinkPort();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(view.comMemo.find("70-orvalink.rules"), std::string::npos);
    EXPECT_NE(view.comMemo.find("dialout"), std::string::npos);
}

TEST_F(PortDiscoveryTest, OpenLinkPortAtRates) {
    AddNtAdapter(registry, "a", "COM3");
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_FALSE(link.OpenLinkPortAt(4800));
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(link.OpenLinkPortAt(115200));
    EXPECT_FALSE(link.OpenLinkPortAt(4800));
    EXPECT_EQ(port.BaudRate(), 115200);
    EXPECT_EQ(port.OpenCount(), 1);
    ASSERT_TRUE(link.OpenLinkPortAt(38400));  // closes and reopens
    EXPECT_EQ(port.OpenCount(), 2);
    EXPECT_EQ(port.BaudRate(), 38400);
    ASSERT_TRUE(link.OpenLinkPortAt(38400));  // already so: nothing
    EXPECT_EQ(port.OpenCount(), 2);
    for (int rate : {300, 2400, 9600}) EXPECT_TRUE(link.OpenLinkPortAt(rate));
    port.FailNextOpens(1);
    EXPECT_FALSE(link.OpenLinkPortAt(115200));
    EXPECT_TRUE(link.CloseLinkPort());
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortDiscoveryTest, ArrivalSetsTheNumberWithoutOpening) {
    FakeDeviceNotifier notifier;
    link.Discovery().Listen(notifier);
    notifier.PortArrived("COM7");
    EXPECT_EQ(link.Discovery().PortNumber(), 7);
    EXPECT_TRUE(link.Discovery().PortFound());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(view.trayHint, "Visual ComPort is COM7");
    EXPECT_EQ(view.trayImage, 1);
    notifier.PortArrived("COM16");  // outside 1..15
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
    notifier.PortRemoved("COM16");
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
    EXPECT_FALSE(link.Discovery().PortFound());
    EXPECT_EQ(view.portsLost, 1);
    EXPECT_EQ(view.foundName, "");
    EXPECT_EQ(link.Discovery().PortName(), "");
    EXPECT_EQ(view.trayImage, 0);
    EXPECT_EQ(view.trayHint, "Visual ComPort is Remove !");
    // Other devices are no business of the link.
    EXPECT_EQ(link.Discovery().OnDeviceChange({DeviceChangeEvent::Kind::Arrival, false, "COM9"}), 1);
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
}

TEST_F(PortDiscoveryTest, UnpluggingDuringADownloadEndsIt) {
    AddNtAdapter(registry, "a", "COM3");
    FakeDeviceNotifier notifier;
    link.Discovery().Listen(notifier);
    FillRemote();
    std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());
    pump.Schedule(10'000, [&] {
        port.HangUp();
        notifier.PortRemoved("COM3");
    });
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
    EXPECT_EQ(link.Discovery().PortNumber(), 0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin()));
}

TEST_F(PortDiscoveryTest, SettingsTextsAndTheirLimits) {
    PortDiscovery& d = link.Discovery();
    d.SetParity(ParityFromText("Odd"));
    EXPECT_EQ(port.GetParity(), Parity::Odd);
    d.SetParity(ParityFromText("Space"));
    EXPECT_EQ(port.GetParity(), Parity::Space);
    d.SetParity(ParityFromText("Bogus"));
    EXPECT_EQ(port.GetParity(), Parity::None);
    d.SetBaudRate(LeadingNumber("57600"));
    EXPECT_EQ(port.BaudRate(), 57600);
    EXPECT_EQ(LeadingNumber("  115200 bit/s"), 115200);
    EXPECT_EQ(LeadingNumber("Auto"), 0);
    d.SetInBufferSize(LeadingNumber("0"));
    EXPECT_EQ(port.InBufferSize(), 4096);
    d.SetOutBufferSize(LeadingNumber("8192"));
    EXPECT_EQ(port.OutBufferSize(), 8192);
    d.SetOutBufferSize(LeadingNumber("16384"));
    EXPECT_EQ(port.OutBufferSize(), 4096);
    d.SetStopBits(LeadingNumber("2"));
    EXPECT_EQ(port.StopBits(), 2);
    d.SetStopBits(3);
    EXPECT_EQ(port.StopBits(), 2);
    d.SetDataBits(LeadingNumber("7"));
    EXPECT_EQ(port.DataBits(), 7);
    d.SetDataBits(9);
    EXPECT_EQ(port.DataBits(), 7);
    // Data bits only change while the port is closed.
    AddNtAdapter(registry, "a", "COM3");
    ASSERT_TRUE(link.EnsureLinkPort());
    d.SetDataBits(5);
    EXPECT_EQ(port.DataBits(), 7);
}

TEST_F(PortDiscoveryTest, ThePortChoiceOfTheTestPage) {
    AddNtAdapter(registry, "a", "COM3");
    const PortDiscovery::Opened opened = link.Discovery().OpenDiscoveredPort();
    EXPECT_TRUE(opened.found);
    EXPECT_EQ(opened.number, 3);
    EXPECT_TRUE(port.IsOpen());
    link.Discovery().UsePortNumber(2);  // open: takes effect at the next open
    EXPECT_EQ(port.PortNumber(), 2);
    EXPECT_EQ(link.Discovery().PortNumber(), 2);
    EXPECT_TRUE(port.IsOpen());
    // A found port beyond 32 is not opened.
    port.Close();
    registry.RemoveKey(kNtAdapterKey);
    AddNtAdapter(registry, "a", "COM40");
    const PortDiscovery::Opened beyond = link.Discovery().OpenDiscoveredPort();
    EXPECT_TRUE(beyond.found);
    EXPECT_EQ(beyond.number, 40);
    EXPECT_FALSE(port.IsOpen());
    // Nothing found: nothing opened.
    registry.RemoveKey(kNtAdapterKey);
    EXPECT_FALSE(link.Discovery().OpenDiscoveredPort().found);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortDiscoveryTest, EverySearchStartsTheLogOver) {
    AddNtAdapter(registry, "a", "COM3");
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    const std::string first = view.comMemo;
    ASSERT_TRUE(link.FindVisualComPort(n));
    EXPECT_EQ(view.comMemo, first);
    EXPECT_EQ(view.discoveries, 2);
}

TEST_F(PortDiscoveryTest, ClearingTheBuffersReopensThePort) {
    AddNtAdapter(registry, "a", "COM3");
    ASSERT_TRUE(link.EnsureLinkPort());
    const int opens = port.OpenCount();
    link.Discovery().ClearBuffers();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.OpenCount(), opens + 1);
}

}  // namespace
}  // namespace orvalink::testing
