#include "editors/core/DeviceCommands.h"

#include "editors/core/DeviceLayout.h"
#include "formats/PreProgram.h"
#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"

namespace orvalink {

LayoutHost::CodeFill ReplaceDeviceFromCode(const std::filesystem::path& programFolder, TTiFlashFm& flash,
                                           int device, int codeNumber, const std::function<void()>& beforeReplace) {
    using CodeFill = LayoutHost::CodeFill;
    if (!IsDeviceNumber(device) || codeNumber < 0 || codeNumber >= kNoCodeChosen) return CodeFill::Failed;
    DeviceBundle bundle;
    switch (BuildPreProgramBundle(programFolder, flash, uint16_t(codeNumber), bundle)) {
        case PreProgramResult::Ok: break;
        case PreProgramResult::NoLibrary: return CodeFill::NoLibrary;
        default: return CodeFill::Failed;
    }
    if (beforeReplace) beforeReplace();
    DeleteDeviceTree(flash, device);
    PasteDeviceIn(flash, bundle, device);
    return CodeFill::Filled;
}

bool IsDeletableDeviceEntry(const KeyInfo& entry) {
    return IsDeviceNumber(entry.link) && entry.ownerDevice <= kLastDeviceSlot && IsSoftKeyNumber(entry.keyNumber);
}

bool DeleteDeviceEntry(TTiFlashFm& flash, const KeyInfo& entry) {
    if (!IsDeletableDeviceEntry(entry) || !DeleteDeviceTree(flash, entry.link)) return false;
    DeleteCode(flash, entry.ownerDevice, entry.keyNumber);
    return DeleteKey(flash, entry.ownerDevice, entry.keyNumber);
}

}  // namespace orvalink
