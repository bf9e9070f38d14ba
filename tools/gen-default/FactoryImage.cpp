#include "tools/gen-default/FactoryImage.h"

#include <algorithm>

#include "image/CodeLibrary.h"
#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "image/KeyRecords.h"
#include "image/Settings.h"
#include "tools/gen-default/AssetText.h"
#include "tools/gen-default/CharacterSets.h"
#include "tools/gen-default/Pictures.h"

namespace orvalink::gen {

bool ReadStarterDevices(const std::filesystem::path& path, const std::map<std::string, int>& icons,
                        std::vector<StarterDevice>& devices, std::string& error) {
    std::vector<AssetLine> lines;
    if (!ReadAssetLines(path, lines, error)) return false;
    std::vector<StarterDevice> out;
    for (const auto& line : lines) {
        const auto& w = line.words;
        if (w.empty()) continue;
        StarterDevice d;
        unsigned code = 0, col = 0, row = 0, width = 0, height = 0;
        if (w.size() != 7 || w[0] != "device" || !ParseAssetNumber(w[2], 3071, code) ||
            !ParseAssetNumber(w[3], 4, col) || !ParseAssetNumber(w[4], 6, row) || !ParseAssetNumber(w[5], 6, width) ||
            !ParseAssetNumber(w[6], 8, height) || width < 2 || height < 2 || col + width > 6 || row + height > 8) {
            error = AssetError(path, line.number, "expected 'device \"LABEL\" CODE COL ROW WIDTH HEIGHT' inside the grid");
            return false;
        }
        if (!EncodeLabel(w[1], icons, d.label, error)) {
            error = AssetError(path, line.number, error);
            return false;
        }
        d.code = int(code);
        d.column = uint8_t(col);
        d.row = uint8_t(row);
        d.width = uint8_t(width);
        d.height = uint8_t(height);
        out.push_back(std::move(d));
    }
    if (out.empty() || out.size() > 58) {
        error = path.filename().string() + ": Home needs 1 to 58 devices";
        return false;
    }
    devices = std::move(out);
    return true;
}

namespace {

bool PutTable(TTiFlashFm& flash, size_t start, const std::vector<uint8_t>& bytes, size_t expected,
              const char* what, std::string& error) {
    auto image = flash.Image();
    if (bytes.size() != expected || start + expected > image.size()) {
        error = std::string(what) + " is " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(expected);
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + std::ptrdiff_t(start));
    return true;
}

// A template marks every key as one that sends a code; the keys whose
// function the device's library code has no command for get none, and
// their records say so.
bool ClaimOnlyTheCodesGiven(DeviceBundle& bundle, std::string& error) {
    for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
        const uint16_t at = bundle.slotTable[size_t(k)];
        if (at == 0xFFFF || bundle.slotTable[size_t(64 + k)] != 0xFFFF) continue;
        auto record = std::span<uint8_t>(bundle.blocks).subspan(8 * size_t(at));
        KeyInfo key;
        if (!UnpackKey(record, key)) {
            error = "key " + std::to_string(k) + " of its template does not unpack";
            return false;
        }
        if (!(key.flags & kFlagHasCode)) continue;
        key.flags = uint8_t(key.flags & ~kFlagHasCode);
        if (!PackKey(key, record.first(8 * size_t(key.size)))) {
            error = "key " + std::to_string(k) + " cannot be packed again";
            return false;
        }
    }
    return true;
}

// One starter device: its template, every key's code decoded from the
// library into the bundle, pasted into its slot, and the Device key on Home
// that links to it.
bool AddStarterDevice(TTiFlashFm& flash, const FactoryContent& content, const StarterDevice& device, int slot,
                      std::string& error) {
    const std::string name = "starter device " + std::to_string(slot);
    auto layout = content.templates.find(TemplateOfCode(device.code));
    if (layout == content.templates.end()) {
        error = name + ": no template for code " + std::to_string(device.code);
        return false;
    }
    DeviceBundle bundle;
    if (!UnpackDevice(layout->second, bundle)) {
        error = name + ": template " + std::to_string(layout->first) + " does not unpack";
        return false;
    }
    LibraryCodeSet set;
    if (!ReadLibraryCode(flash, device.code, set)) {
        error = name + ": code " + std::to_string(device.code) + " is not in the library";
        return false;
    }
    int decoded = 0;
    for (int k = 0; k < kKeysPerDevice; ++k) {
        IrCodeInfo code;
        if (!DecodeLibraryKey(set, k, code)) continue;
        int pos = 0;
        if (!BundleUsedBlocks(bundle, pos) || pos + code.size > kBundlePositions) {
            error = name + ": its codes do not fit a device bundle";
            return false;
        }
        PackIrCode(code, std::span<uint8_t>(bundle.blocks).subspan(8 * size_t(pos), 8 * size_t(code.size)));
        bundle.slotTable[size_t(64 + k)] = uint16_t(pos);
        ++decoded;
    }
    if (decoded == 0) {
        error = name + ": code " + std::to_string(device.code) + " gives no key a code";
        return false;
    }
    if (!ClaimOnlyTheCodesGiven(bundle, error)) {
        error = name + ": " + error;
        return false;
    }
    PasteDeviceIn(flash, bundle, slot);

    KeyInfo key = DefaultKey();
    key.size = uint8_t(1 + (device.label.size() + 8) / 8);
    key.page = 0;
    key.flags = kFlagWhite;
    key.keyType = kKeyDevice;
    key.column = device.column;
    key.row = device.row;
    key.width = device.width;
    key.height = device.height;
    key.link = uint8_t(slot);
    key.codeNumber = int16_t(device.code);
    key.SetLabel(std::span<const uint8_t>(device.label));
    if (!WriteKey(flash, kHomeSlot, kHardKeyCount + slot - 1, key)) {
        error = name + ": its Device key does not fit on Home";
        return false;
    }
    return true;
}

}  // namespace

bool BuildFactoryImage(const FactoryContent& content, TTiFlashFm& flash, std::string& error) {
    if (flash.Selector() != kSelector5100) {
        error = "the factory image is a QM-5100 image";
        return false;
    }
    if (!PutTable(flash, flash.GlyphTableStart(), content.glyphs, size_t(kGlyphCount) * kGlyphBytes,
                  "the glyph table", error) ||
        !PutTable(flash, flash.IconTableStart(), content.icons, size_t(kIconCount) * kIconBytes, "the icon table",
                  error) ||
        !WritePicture(flash, kWelcomeSystem, content.welcome10) || !WritePicture(flash, kWelcomeReal, content.welcome20)) {
        if (error.empty()) error = "a welcome picture is not 2080 bytes";
        return false;
    }
    if (!WriteSettings(flash, DefaultSettings())) {
        error = "the default settings cannot be written";
        return false;
    }
    auto image = flash.Image();
    image[kImageVersionOffset] = kFactoryVersionMajor;
    image[kImageVersionOffset + 1] = kFactoryVersionMinor;

    if (!WriteCodeLibrary(flash, content.codeSets, error)) return false;
    for (size_t i = 0; i < content.starters.size(); ++i)
        if (!AddStarterDevice(flash, content, content.starters[i], int(i) + 1, error)) return false;
    return true;
}

}  // namespace orvalink::gen
