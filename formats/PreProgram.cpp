#include "formats/PreProgram.h"

#include "image/CodeLibrary.h"
#include "image/CodeRecords.h"
#include "platform/ResourceLibrary.h"

namespace orvalink {

int TemplateForCodeNumber(uint16_t codeNumber) {
    if (codeNumber < 768) return 1004;
    if (codeNumber < 1152) return 1002;
    if (codeNumber < 1536) return 1001;
    if (codeNumber < 1920) return 1005;
    if (codeNumber < 2304) return 1006;
    if (codeNumber < 2560) return 1009;
    if (codeNumber < 2816) return 1008;
    return 1010;
}

namespace {

// Adds a code record behind key `key` at the bundle's first unused position.
bool AddCodeToBundle(DeviceBundle& bundle, int key, const IrCodeInfo& code) {
    int pos = 0;
    if (!BundleUsedBlocks(bundle, pos) || pos + code.size >= kBundlePositions - 1) return false;
    if (!PackIrCode(code, std::span<uint8_t>(bundle.blocks).subspan(8 * size_t(pos), 8 * size_t(code.size))))
        return false;
    bundle.slotTable[size_t(64 + key)] = uint16_t(pos);
    return true;
}

}  // namespace

PreProgramResult BuildPreProgramBundle(const std::filesystem::path& programFolder, const TTiFlashFm& flash,
                                       uint16_t codeNumber, DeviceBundle& bundle) {
    ResourceLibrary library;
    if (!library.Open((programFolder / "dev_model.dll").string())) return PreProgramResult::NoLibrary;
    std::vector<uint8_t> flat;
    if (!library.ReadRcData(uint16_t(TemplateForCodeNumber(codeNumber)), flat) || flat.size() < 100 ||
        flat.size() > 20000)
        return PreProgramResult::NoTemplate;
    DeviceBundle b;
    if (!UnpackDevice(flat, b)) return PreProgramResult::NoTemplate;
    LibraryCodeSet set;
    if (!ReadLibraryCode(flash, codeNumber, set)) return PreProgramResult::NoCodeSet;
    // Keys whose code cannot be decoded (or would not fit) are skipped.
    for (int k = 0; k < kKeysPerDevice; ++k) {
        IrCodeInfo code;
        if (DecodeLibraryKey(set, k, code)) AddCodeToBundle(b, k, code);
    }
    bundle = b;
    return PreProgramResult::Ok;
}

}  // namespace orvalink
