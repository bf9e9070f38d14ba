// What the layout editor needs of the main window: the key clipboard that
// every device editor shares, and the device numbers that no device uses.
// The main window implements both and hands them to each editor.
#pragma once

#include <vector>

#include "image/KeyRecords.h"

namespace orvalink {

class KeyClipboard {
public:
    virtual ~KeyClipboard() = default;
    // Puts a copy of the key on the clipboard (filled from then on).
    virtual void SetKeyClipboard(const KeyInfo& key) = 0;
    // A copy of the key on the clipboard; false while it is empty.
    virtual bool GetKeyClipboard(KeyInfo& key) const = 0;
};

class DeviceNumberSource {
public:
    virtual ~DeviceNumberSource() = default;
    // The device numbers 1..64 that no device of the memory image uses,
    // ascending.
    virtual std::vector<int> FreeDeviceNumbers() const = 0;
};

}  // namespace orvalink
