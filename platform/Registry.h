// The read-only view of the system registry that port discovery walks (root
// HKEY_LOCAL_MACHINE). Key paths use '\' between their parts and, as in the
// Windows registry, compare without regard to case. On Windows this is the
// real registry; on Linux a view built from the USB-serial adapters found in
// sysfs; in tests MemoryRegistry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalink {

class Registry {
public:
    virtual ~Registry() = default;
    // Whether the key exists and can be opened for reading.
    virtual bool OpenKey(const std::string& path) const = 0;
    // Names of the key's direct sub-keys (empty for a missing key).
    virtual std::vector<std::string> SubKeyNames(const std::string& path) const = 0;
    virtual bool ValueExists(const std::string& path, const std::string& name) const = 0;
    // A string value; nullopt when the key or value is missing.
    virtual std::optional<std::string> ReadString(const std::string& path, const std::string& name) const = 0;

    // The device name a serial port opens for COM n: the name itself where
    // this is the system's own registry; a view that maps numbers to devices
    // gives its device path ("" when it has none).
    virtual std::string PortPath(int comNumber) const { return "COM" + std::to_string(comNumber); }
    // Reads the system again after a device arrived or left; the system's own
    // registry is always current.
    virtual void Refresh() {}
};

}  // namespace orvalink
