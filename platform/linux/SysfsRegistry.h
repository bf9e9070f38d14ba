// The registry view on Linux: every USB-serial adapter with vendor 067B and
// product 2303 found in sysfs appears where discovery looks for it, below the
// NT-family adapter key, as Windows would register it:
//
//   <adapter key>\<USB device>\Control            ActiveService (a driver is bound),
//                                                 DeviceReference (the device is present)
//   <adapter key>\<USB device>\Device Parameters  PortName = "COM" + n
//
// with n = the tty's index + 1 (ttyUSB0 is COM1). Any other serial device
// (the virtual remote's pseudo-terminal, a demo) can be added with a COM
// number of its own. PortPath turns a COM number back into the device path
// the serial port opens.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/DeviceNotifier.h"
#include "platform/Registry.h"

namespace orvalink {

// The COM number a tty gets in the view (ttyUSB0 is COM1); 0 for none.
int ComNumberOfTty(const std::string& ttyName);

// The device-change notification for a udev event of the tty subsystem
// ("add" or "remove" of ttyName, whose USB device has vendor and product):
// an arrival or removal of "COM" + n for the Prolific adapter, otherwise a
// notification that is no port's.
DeviceChangeEvent PortEventFromUdev(const std::string& action, const std::string& ttyName,
                                    const std::string& vendor, const std::string& product);

class SysfsRegistry final : public Registry {
public:
    struct ExtraPort {
        std::string path;
        int comNumber = 0;
    };

    // sysRoot is "/sys" but for tests; devRoot the folder of the device nodes.
    explicit SysfsRegistry(std::string sysRoot = "/sys", std::string devRoot = "/dev");

    // Adds a device path as an adapter at COM comNumber (1..63).
    void AddPort(const std::string& path, int comNumber);
    // "PATH" or "PATH=COMn" (COM9 when no number is given); false for a bad text.
    bool AddPortEntry(const std::string& entry);
    // Entries separated by commas ("/dev/pts/4=COM3,/dev/ttyS0"); false when
    // one of them is bad (the good ones are added).
    bool AddPortsFromText(const std::string& entries);
    // The entries of the ORVALINK_LINK_PORT environment variable (AddPortsFromText).
    bool AddPortsFromEnvironment();
    // Reads sysfs again (after a device arrived or left).
    void Refresh() override;

    // The device path of COM n ("" when there is none).
    std::string PortPath(int comNumber) const override;

    bool OpenKey(const std::string& path) const override;
    std::vector<std::string> SubKeyNames(const std::string& path) const override;
    bool ValueExists(const std::string& path, const std::string& name) const override;
    std::optional<std::string> ReadString(const std::string& path, const std::string& name) const override;

private:
    void Set(const std::string& key, const std::string& name, const std::string& value);
    static std::string Fold(const std::string& text);

    std::string sysRoot_;
    std::string devRoot_;
    std::vector<ExtraPort> extra_;
    std::map<int, std::string> paths_;
    std::map<std::string, std::map<std::string, std::string>> keys_;  // folded path -> values
    std::map<std::string, std::string> names_;                        // folded path -> last part as written
};

}  // namespace orvalink
