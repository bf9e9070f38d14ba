// Finding the adapter's port in the registry view, following the cable being
// plugged in and pulled out, opening and closing the link port at the
// protocol's rates, and the port's settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/LinkView.h"
#include "platform/DeviceNotifier.h"
#include "platform/PortNames.h"
#include "platform/Registry.h"
#include "platform/SerialPort.h"
#include "platform/UiServices.h"

namespace orvalink {

// Link port rates OpenLinkPortAt accepts.
inline constexpr std::array<int, 5> kLinkRates = {300, 2400, 9600, 38400, 115200};

enum class WindowsFamily : uint8_t { Win32s = 1, Win95 = 2, WinNT = 3 };
// The family a GetVersion value names.
WindowsFamily FamilyFromVersion(uint32_t versionWord);
// A GetVersion value of the NT family (Windows XP).
inline constexpr uint32_t kNtVersionWord = 0x0A280105;

// The leading decimal number of a settings text ("115200", " 8 bits"); 0
// when it has none.
int LeadingNumber(std::string_view text);
// The parity a settings text names ("Odd", "Even", "Mark", "Space"; anything
// else is None).
Parity ParityFromText(std::string_view text);

class PortDiscovery {
public:
    // windowsVersion is a GetVersion value (it decides the discovery keys).
    PortDiscovery(SerialPort& port, Registry& registry, UiServices& ui, LinkView& view,
                  uint32_t windowsVersion = kNtVersionWord);

    bool FindVisualComPort(int& portNumber);
    // Finds the port and opens it when it is not open; "Visual ComPort Not
    // Found !" when there is none. A port that will not open is explained
    // in the discovery log (and still counts as found).
    bool EnsureLinkPort();
    bool OpenLinkPortAt(int rate);
    bool CloseLinkPort();

    // The discovered port opened from the test page: found tells whether
    // discovery found one, number which (opened only when 1..32).
    struct Opened {
        bool found = false;
        int number = 0;
    };
    Opened OpenDiscoveredPort();
    // COM n for the next open of an open port (the test page's port choice).
    void UsePortNumber(int number);

    // Handler of the device-change notifications; always answers 1.
    int OnDeviceChange(const DeviceChangeEvent& event);
    // Routes a notifier's events to OnDeviceChange.
    void Listen(DeviceNotifier& notifier);

    int PortNumber() const { return portNumber_; }
    const std::string& PortName() const { return portName_; }
    bool PortFound() const { return portFound_ != 0; }
    WindowsFamily Family() const { return family_; }
    uint16_t PumpInterval() const { return pumpInterval_; }

    // ---- The port's settings
    void SetBaudRate(int rate) { port_.SetBaudRate(rate); }
    void SetParity(Parity parity) { port_.SetParity(parity); }
    // 5..8, and only while the port is closed.
    void SetDataBits(int bits);
    // 1 or 2.
    void SetStopBits(int bits);
    // 0 or more than 16383 bytes means the default 4096.
    void SetInBufferSize(int bytes);
    void SetOutBufferSize(int bytes);
    // Both buffers emptied, the port closed and opened again.
    void ClearBuffers();

private:
    void Log(const std::string& text) { view_.DiscoveryLog(text); }

    SerialPort& port_;
    Registry& registry_;
    UiServices& ui_;
    LinkView& view_;
    uint32_t windowsVersion_;

    int portNumber_ = 0;
    std::string portName_;
    uint8_t portFound_ = 0;
    WindowsFamily family_ = WindowsFamily::WinNT;
    uint16_t pumpInterval_ = 2000;
};

}  // namespace orvalink
