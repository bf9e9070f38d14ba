#include <algorithm>
#include <cctype>
#include <string>

#include "link/PortDiscovery.h"

namespace orvalink {

WindowsFamily FamilyFromVersion(uint32_t versionWord) {
    const bool highBit = (versionWord & 0x80000000u) != 0;
    const uint32_t major = versionWord & 0xFFu;
    if (highBit) return major > 3 ? WindowsFamily::Win95 : WindowsFamily::Win32s;
    return WindowsFamily::WinNT;
}

namespace {

struct Candidate {
    int number;
    uint8_t deviceMark;   // 10: the device is present (DeviceReference)
    uint8_t serviceMark;  // 10: a driver serves it (ActiveService)
};

}  // namespace

int LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    long n = 0;
    size_t start = i;
    for (; i < text.size() && i < start + 9 && std::isdigit(static_cast<unsigned char>(text[i])); ++i) n = n * 10 + (text[i] - '0');
    return int(n);
}

Parity ParityFromText(std::string_view text) {
    if (text == "Odd") return Parity::Odd;
    if (text == "Even") return Parity::Even;
    if (text == "Mark") return Parity::Mark;
    if (text == "Space") return Parity::Space;
    return Parity::None;
}

PortDiscovery::PortDiscovery(SerialPort& port, Registry& registry, UiServices& ui, LinkView& view,
                             uint32_t windowsVersion)
    : port_(port), registry_(registry), ui_(ui), view_(view), windowsVersion_(windowsVersion),
      family_(FamilyFromVersion(windowsVersion)) {}

bool PortDiscovery::FindVisualComPort(int& portNumber) {
    view_.DiscoveryStarted();
    family_ = FamilyFromVersion(windowsVersion_);
    std::string base;
    switch (family_) {
        case WindowsFamily::WinNT:
            pumpInterval_ = 2000;
            base = kNtAdapterKey;
            Log("Windows Version is Win NT/2000/XP ");
            break;
        case WindowsFamily::Win95:
            pumpInterval_ = 10000;
            base = k95AdapterKey;
            Log("Windows Version is Win 95/98/Me ");
            break;
        case WindowsFamily::Win32s:
            Log("Windows Version is Win 3.x or after! ");
            return false;
    }

    portNumber_ = 0;
    if (!registry_.OpenKey(base)) {
        Log("Open Register Key Error ! <<" + base + ">> 1 \n");
        return false;
    }
    Log("Open Register Key \n");
    Log("HKEY_LOCALMACHINE\\" + base + "  ---> OK! \n");
    Log("\n");

    const std::vector<std::string> names = registry_.SubKeyNames(base);
    std::string lastKey = base;
    std::vector<Candidate> candidates;
    bool found95 = false;
    for (size_t i = names.size(); i-- > 0;) {
        const std::string key = base + "\\" + names[i];
        lastKey = key;
        if (!registry_.OpenKey(key)) {
            Log("Open Register Key Error ! <<" + key + ">> \n");
            return false;
        }
        if (family_ == WindowsFamily::Win95) {
            if (!registry_.ValueExists(key, "PORTNAME")) continue;
            const std::string name = registry_.ReadString(key, "PORTNAME").value_or("");
            const int n = PortNumberFromName(name);
            if (n < 1 || n > 64) continue;
            portNumber_ = n;
            portName_ = name;
            portFound_ = 1;
            view_.PortFound(name, "Visual ComPort is Active !");
            Log("Finding Visual ComPort ..... " + name + " \n");
            Log(" \n");
            found95 = true;
            continue;
        }
        const std::string control = key + "\\Control";
        if (!registry_.OpenKey(control)) continue;
        const bool hasReference = registry_.ValueExists(control, "DeviceReference");
        const bool hasService = registry_.ValueExists(control, "ActiveService");
        if (!hasService) continue;
        const uint8_t deviceMark = hasReference ? 10 : 0;
        Log(control + "\n");
        const std::string params = key + "\\Device Parameters";
        lastKey = params;
        if (!registry_.OpenKey(params)) {
            Log("Open Register Key Error ! <<" + params + ">> \n");
            return false;
        }
        Log(params + "\n");
        const std::string name = registry_.ReadString(params, "PortName").value_or("");
        const int n = PortNumberFromName(name);
        if (n >= 1 && n <= 64) {
            candidates.push_back({n, deviceMark, 10});
            view_.AdapterSeen("Visual ComPort is Active !");
            Log("Finding Visual ComPort ..... " + name + " \n");
            Log(" \n");
        }
    }

    if (names.empty()) {
        Log("Visual ComPort Driver Not Install !\n <<" + lastKey + ">> \n");
        return false;
    }

    if (family_ == WindowsFamily::WinNT) {
        const Candidate* chosen = nullptr;
        for (const auto& c : candidates) {
            if (c.deviceMark + c.serviceMark == 20 && c.number >= 1 && c.number <= 63) {
                chosen = &c;
                break;
            }
        }
        if (!chosen) {
            for (const auto& c : candidates) {
                if (c.serviceMark == 10 && c.number >= 1 && c.number <= 63) {
                    chosen = &c;
                    break;
                }
            }
        }
        if (chosen) {
            const std::string text = "COM" + std::to_string(chosen->number);
            portName_ = text;
            portNumber_ = chosen->number;
            portFound_ = 1;
            view_.PortFound(text, "Visual ComPort is COM" + std::to_string(chosen->number));
            portNumber = portNumber_;
            return true;
        }
    } else if (found95) {
        portNumber = portNumber_;
        return true;
    }
    Log("Visual ComPort Is Remove !\n <<" + lastKey + ">> \n");
    return false;
}

bool PortDiscovery::EnsureLinkPort() {
    int number = 0;
    if (!FindVisualComPort(number)) {
        ui_.Inform("Visual ComPort Not Found !", MsgIcon::Error);
        return false;
    }
    if (!port_.IsOpen() && number >= 1 && number <= 32) {
        port_.SetPortNumber(number);
        if (!port_.Open()) {
            std::string why = port_.ErrorText();
            Log("COM" + std::to_string(number) + " cannot be opened: " + why + " \n");
            std::string lower = why;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            if (lower.find("permission") != std::string::npos || lower.find("access") != std::string::npos)
                Log("The orvalink package's udev rule (/usr/lib/udev/rules.d/70-orvalink.rules) gives the "
                    "logged-in user the cable's port: plug the cable in again. Without the package, add your "
                    "user to the dialout group and log in again. \n");
        }
    }
    return true;
}

bool PortDiscovery::OpenLinkPortAt(int rate) {
    if (std::find(kLinkRates.begin(), kLinkRates.end(), rate) == kLinkRates.end()) return false;
    if (!port_.IsOpen()) {
        port_.SetPortNumber(portNumber_);
        port_.SetBaudRate(rate);
        return port_.Open();
    }
    if (port_.BaudRate() != rate) {
        port_.Close();
        port_.SetBaudRate(rate);
        return port_.Open();
    }
    return true;
}

bool PortDiscovery::CloseLinkPort() {
    port_.Close();
    portNumber_ = 0;
    return true;
}

int PortDiscovery::OnDeviceChange(const DeviceChangeEvent& event) {
    if (!event.isPort) return 1;
    if (event.kind == DeviceChangeEvent::Kind::Arrival) {
        std::string name;
        if (family_ == WindowsFamily::Win95) {
            if (event.name.size() > 20) name = event.name.substr(20, 4);
        } else {
            name = event.name.substr(0, 5);
        }
        name = name.substr(0, name.find('\0'));
        portName_ = name;
        int n = PortNumberFromName(name);
        if (n < 1 || n > 15) n = 0;
        portFound_ = 1;
        portNumber_ = n;
        view_.PortArrived("Visual ComPort is COM" + std::to_string(n));
    } else if (event.kind == DeviceChangeEvent::Kind::RemoveComplete) {
        portFound_ = 0;
        portNumber_ = 0;
        portName_.clear();
        view_.PortLost("Visual ComPort is Remove !");
    }
    return 1;
}

void PortDiscovery::Listen(DeviceNotifier& notifier) {
    notifier.SetHandler([this](const DeviceChangeEvent& e) { OnDeviceChange(e); });
}

// ---------------------------------------------------------------------------
// The test page's port choice and the port's settings

PortDiscovery::Opened PortDiscovery::OpenDiscoveredPort() {
    Opened result;
    result.found = FindVisualComPort(result.number);
    if (result.found && result.number >= 1 && result.number <= 32) {
        port_.SetPortNumber(result.number);
        port_.Open();
    }
    return result;
}

void PortDiscovery::UsePortNumber(int number) {
    portNumber_ = number;
    port_.SetPortNumber(number);
}

void PortDiscovery::SetDataBits(int bits) {
    if (port_.IsOpen()) return;
    if (bits >= 5 && bits <= 8) port_.SetDataBits(bits);
}

void PortDiscovery::SetStopBits(int bits) {
    if (bits == 1 || bits == 2) port_.SetStopBits(bits);
}

void PortDiscovery::SetInBufferSize(int bytes) { port_.SetInBufferSize(bytes == 0 || bytes > 16383 ? 4096 : bytes); }

void PortDiscovery::SetOutBufferSize(int bytes) { port_.SetOutBufferSize(bytes == 0 || bytes > 16383 ? 4096 : bytes); }

void PortDiscovery::ClearBuffers() {
    port_.FlushInput();
    port_.FlushOutput();
    port_.Close();
    port_.Open();
}

}  // namespace orvalink
