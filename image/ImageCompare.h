// The differences between two memory images of the same model, in the
// words of the remote: devices added, removed or renamed; per device the
// keys added, removed, moved or resized, their labels, types and what they
// do, their IR codes (with the protocol and numbers decoded where a known
// protocol is sent), macros, timers and cycle lists; the remote's settings;
// the welcome pictures; and any other bytes by the region that holds them.
//
// Records are compared by what they hold, not where the block store keeps
// them: a key saved again into other blocks is no difference. Each
// difference is reported once, where a user looks for it: a device's name
// is its own line, not also a label change of the Device key that links it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

enum class DiffTopic {
    DeviceAdded,
    DeviceRemoved,
    DeviceRenamed,
    DeviceCodeNumber,  // the pre-program code number of the device
    DeviceParent,      // the Device key that links it sits elsewhere
    KeyAdded,
    KeyRemoved,
    KeyMoved,
    KeyResized,
    KeyLabel,
    KeyType,
    KeyFunction,  // the device a Device key opens
    KeyStyle,     // shape, label alignment, background, the bytes carried
    IrCode,
    Macro,
    Timer,
    Cycle,
    Setting,
    WelcomePicture,
    Region,
};

struct Difference {
    DiffTopic topic = DiffTopic::Region;
    std::string text;  // "label changed from \"Vol+\" to \"Volume\""
};

struct KeyDifferences {
    int key = -1;      // key number 0..63
    std::string name;  // "key 12 \"Vol+\""
    std::vector<Difference> changes;
};

struct DeviceDifferences {
    int slot = -1;     // 0 Home, 1..64, 65 Macro
    std::string name;  // "Home", "device TV", "Macro"
    std::vector<Difference> changes;  // the device itself
    std::vector<KeyDifferences> keys; // ascending key numbers
};

struct ImageComparison {
    std::vector<DeviceDifferences> devices;  // ascending slots
    std::vector<Difference> settings;
    std::vector<Difference> pictures;
    std::vector<Difference> regions;  // bytes no record above explains
    bool Equal() const { return Count() == 0; }
    size_t Count() const;
};

// What changed from `a` to `b`. Both images must be of the same size.
ImageComparison CompareImages(const TTiFlashFm& a, const TTiFlashFm& b);

// The comparison as indented lines (two blanks a level): a device, its own
// changes and its keys, each key's changes below it; then "Settings",
// "Welcome pictures" and "Other bytes" with theirs. Empty when equal.
std::vector<std::string> ComparisonLines(const ImageComparison& comparison);

}  // namespace orvalink
