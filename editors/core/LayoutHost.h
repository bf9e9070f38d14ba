// What the layout editor needs of the main window besides the key clipboard
// and the free device numbers: telling it that a device was written into the
// memory image, and filling a device from a pre-program code. The main window
// implements it and hands it to each editor.
#pragma once

#include <cstdint>

namespace orvalink {

class LayoutHost {
public:
    virtual ~LayoutHost() = default;

    // A device's keys were written into the memory image: the document is
    // modified and the device tree is rebuilt.
    virtual void DeviceStored(int device) = 0;

    enum class CodeFill {
        Filled,     // the device holds the template's keys with the code set's codes
        NoLibrary,  // the template library is missing (the host has said so)
        Failed,     // the template or the code set could not be read; the device is unchanged
    };
    // Clears `device` (1..64) with every device below it and fills it from
    // pre-program code `codeNumber`; an editor window open on that device is
    // cancelled first. The tree is rebuilt and the document marked modified.
    virtual CodeFill FillDeviceFromCode(int device, uint16_t codeNumber) = 0;
};

}  // namespace orvalink
