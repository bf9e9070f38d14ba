#include "editors/core/KeyEditing.h"

#include <algorithm>

namespace orvalink {

TypeRadio RadioOfKey(const KeyInfo& key) {
    switch (key.keyType) {
        case kKeyIrCode: return kRadioIrCode;
        case kKeyDevice: return kRadioDevice;
        case kKeyMacro: return kRadioMacro;
        case kKeyCycle: return kRadioCycle;
        case kKeyLabel: return (key.flags & kFlagHasCode) ? kNoRadio : kRadioLabel;
        default: return kNoRadio;
    }
}

uint8_t KeyTypeOfRadio(TypeRadio radio) {
    switch (radio) {
        case kRadioLabel: return kKeyLabel;
        case kRadioDevice: return kKeyDevice;
        case kRadioMacro: return kKeyMacro;
        case kRadioCycle: return kKeyCycle;
        default: return kKeyIrCode;
    }
}

TypeChange TypeChangeRule(TypeRadio from, TypeRadio to) {
    TypeChange c;
    if (from == to || from == kRadioLabel || from == kNoRadio) return c;
    switch (from) {
        case kRadioIrCode:
            if (to == kRadioDevice) {
                c.deviceTypeTv = true;
                return c;
            }
            c.question = "Do you want to delete this IR code ?";
            c.erase = true;
            return c;
        case kRadioDevice:
            c.askedWhileLoading = true;
            c.deleteChild = true;
            if (to == kRadioIrCode) {
                c.question = "Do you want to delete this device and child ?";
                return c;
            }
            c.question = "Do you want to delete this IR code and device child ?";
            c.erase = true;
            return c;
        case kRadioMacro:
        case kRadioCycle:
            c.question = from == kRadioMacro ? "Do you want to delete this MACRO ?"
                                             : "Do you want to delete this Cycle key ?";
            c.erase = true;
            c.deviceTypeTv = to == kRadioDevice;
            return c;
        default: return c;
    }
}

void EraseKeyCode(KeyInfo& key) {
    key.codeBlockCount = 0xFF;
    key.codeBlocks.fill(0xFF);
}

bool IsChildDevice(int number) { return number > kHomeSlot && number <= kLastDeviceSlot; }

bool HasKeyCode(const KeyInfo& key) { return key.codeBlockCount != 0 && key.codeBlockCount != 0xFF; }

bool KeyIrCode(const KeyInfo& key, IrCodeInfo& code) {
    if (!HasKeyCode(key)) return false;
    const size_t n = std::min(size_t(key.codeBlockCount) * kBlockSize, key.codeBlocks.size());
    return UnpackIrCode(std::span<const uint8_t>(key.codeBlocks.data(), n), code);
}

bool StoreLearnedCode(const LearnedCode& learned, KeyInfo& key, IrCodeInfo& stored) {
    IrCodeInfo converted;
    std::array<uint8_t, kCodeBlockRoom * kBlockSize> blocks;
    blocks.fill(0xFF);
    if (!LearnedToStored(learned, converted) ||
        !PackIrCode(converted, std::span<uint8_t>(blocks.data(), size_t(converted.size) * kBlockSize)))
        return false;
    key.codeBlocks = blocks;
    key.codeBlockCount = converted.size;
    stored = converted;
    return true;
}

// ---------------------------------------------------------------------------

namespace {

struct TypeRange {
    const char* name;
    int first;
};

// Every name with the first code it stands for; the names a code is shown
// under come first for their range.
constexpr TypeRange kTypeFirstCodes[] = {
    {"TV", 0},        {"VCR", 768},  {"SAT", 1152}, {"CABLE", 1152}, {"DVD", 1536}, {"RECEIVER", 1920},
    {"TAPE", 2304},   {"TUNER", 2304}, {"CD", 2560}, {"AUX", 2816},
};

}  // namespace

const std::vector<std::string>& DeviceTypeNames() {
    static const std::vector<std::string> names{"TV",   "VCR", "SAT",  "DVD",   "CABLE", "RECEIVER",
                                                "TAPE", "CD",  "TAPE", "TUNER", "AUX"};
    return names;
}

int FirstCodeOfType(const std::string& name) {
    for (const TypeRange& r : kTypeFirstCodes)
        if (name == r.name) return r.first;
    return 0;
}

std::string TypeNameOfCode(int code) {
    if (code < 768 || code > 3072) return "TV";
    if (code < 1152) return "VCR";
    if (code < 1536) return "SAT";
    if (code < 1920) return "DVD";
    if (code < 2304) return "RECEIVER";
    if (code < 2560) return "TAPE";
    if (code < 2816) return "CD";
    return "AUX";
}

// ---------------------------------------------------------------------------

PageShowing PagesFor(int editorMode, TypeRadio radio) {
    PageShowing p;
    if (editorMode == 300) {
        p.attributePage = false;
        p.labelPage = true;
        p.macroPage = true;
        p.timerPage = true;
        p.timerEnabled = true;
        p.keyNumberEnabled = false;
        return p;
    }
    p.codePage = radio == kRadioIrCode || radio == kRadioDevice;
    p.macroPage = radio == kRadioMacro;
    p.cyclePage = radio == kRadioCycle;
    p.shapeGroup = radio == kRadioIrCode;
    p.attributePanel = radio != kRadioLabel;
    p.labelPage = true;
    if (editorMode == 200) {
        p.labelPage = false;
        p.attributePanel = false;
        p.keyNumberEnabled = false;
        p.labelRadioEnabled = false;
        p.deviceRadioEnabled = false;
    }
    return p;
}

// ---------------------------------------------------------------------------

OkResult WriteAttributes(const AttributeInput& in, KeyInfo& key) {
    auto storeLabel = [&] {
        key.label.fill(0);
        const size_t n = std::min(in.label.size(), key.label.size() - 1);
        std::copy_n(in.label.begin(), n, key.label.begin());
        key.labelLength = uint16_t(n + 1);
    };
    if (in.editorMode == 200) return OkResult::Written;
    if (in.editorMode == 300) {
        storeLabel();
        key.keyType = kKeyMacro;
        return OkResult::Written;
    }
    storeLabel();
    uint8_t flags = uint8_t(key.flags & ~(kFlagAlignRight | kFlagRectangle | kFlagWhite));
    if (in.positionRight) flags |= kFlagAlignRight;
    if (in.shapeRect) flags |= kFlagRectangle;
    if (in.backgroundWhite) flags |= kFlagWhite;
    key.flags = flags;

    OkResult result = OkResult::Written;
    switch (in.radio) {
        case kRadioLabel:
            key.keyType = kKeyLabel;
            key.flags = 12;
            break;
        case kRadioIrCode:
            key.keyType = kKeyIrCode;
            key.flags = uint8_t((key.flags & (kFlagRectangle | kFlagWhite)) | kFlagHasCode);
            break;
        case kRadioDevice:
            if (in.deviceNumber && *in.deviceNumber >= 65) {
                key.keyType = kKeyIrCode;
                result = OkResult::DeviceOutOfRange;
                break;
            }
            key.keyType = kKeyDevice;
            if (in.deviceNumber && *in.deviceNumber >= 0) key.link = uint8_t(*in.deviceNumber);
            if (key.codeNumber == -1) key.codeNumber = int16_t(FirstCodeOfType(in.deviceType));
            break;
        case kRadioMacro: key.keyType = kKeyMacro; break;
        case kRadioCycle:
            key.keyType = kKeyCycle;
            if (in.cycleSteps <= 0) return OkResult::CycleWithoutSteps;
            break;
        case kNoRadio: break;
    }
    if (!in.keyNumber || *in.keyNumber < 0) return OkResult::KeyNumberTooHigh;
    key.keyNumber = uint8_t(std::min(*in.keyNumber, 255));
    if (*in.keyNumber > 63) return OkResult::KeyNumberTooHigh;
    return result;
}

// ---------------------------------------------------------------------------

TimerView LoadTimer(const TimerBytes& b) {
    TimerView v;
    if (b.kind & 1) {
        v.kind = kTimerSpecific;
        if (b.month < 1 || b.month > 12 || b.day < 1 || b.day > 31 || b.hour > 23 || b.minute > 59) return v;
        v.monthDay = std::make_pair(int(b.month), int(b.day));
        v.hourMinute = std::make_pair(int(b.hour), int(b.minute));
        return v;
    }
    if (b.kind < 2) return v;
    v.kind = kTimerWeek;
    v.dayMask = b.kind;
    return v;
}

TimerBytes SaveTimer(TimerKind kind, uint8_t dayMask, const TimerPickers& p, const TimerBytes& held) {
    TimerBytes b = held;
    switch (kind) {
        case kTimerSpecific:
            b.kind = 1;
            b.month = uint8_t(p.month);
            b.day = uint8_t(p.day);
            b.hour = uint8_t(p.hour);
            b.minute = uint8_t(p.minute);
            break;
        case kTimerWeek: b.kind = uint8_t(dayMask & 0xFE); break;
        case kTimerDisable: b.kind = 0; break;
    }
    return b;
}

}  // namespace orvalink
