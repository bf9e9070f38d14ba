// The device tree commands that replace or remove a whole device in the
// memory image: filling a device from a pre-program code (the tree menu's
// "Load pre-program code to device" and a layout editor's new Device key)
// and deleting a device with its Device key.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "editors/core/LayoutHost.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"

namespace orvalink {

// Whether `link` is a device number (1..64) rather than Home, Macro or none.
inline constexpr bool IsDeviceNumber(int link) { return link >= 1 && link <= kLastDeviceSlot; }

// Clears `device` (1..64) with every device below it and fills it from
// pre-program code `codeNumber` (below 4000), with the template of the
// program folder's dev_model.dll and the image's code set.
// `beforeReplace` runs once the template and code set have been read, just
// before the image changes (an editor on the device is cancelled there).
// Nothing changes and `beforeReplace` does not run when it fails.
LayoutHost::CodeFill ReplaceDeviceFromCode(const std::filesystem::path& programFolder, TTiFlashFm& flash,
                                           int device, int codeNumber,
                                           const std::function<void()>& beforeReplace = {});

// A tree entry whose device the tree menu may delete: a key of Home or of a
// device (not of Macro) with a soft key number (6..63) that links a device
// 1..64.
bool IsDeletableDeviceEntry(const KeyInfo& entry);

// Deletes the device `entry` links to, with every device below it, and the
// entry's key with its code. True when the key is gone; false (and nothing
// deleted) when the entry may not be deleted or its device tree could not be.
bool DeleteDeviceEntry(TTiFlashFm& flash, const KeyInfo& entry);

}  // namespace orvalink
