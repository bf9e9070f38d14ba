#include "image/ImageCompare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "image/DeviceTree.h"
#include "image/ImageRegions.h"
#include "image/IrDecoder.h"
#include "image/IrWaveform.h"
#include "image/KeyRecords.h"
#include "image/LabelWords.h"
#include "image/LcdBitmaps.h"
#include "image/MacroRecords.h"

namespace orvalink {

namespace {

// The device slots an image holds (Home, Macro and every slot a Device key of
// the tree links to), with their names and where their Device key sits.
struct DeviceIndex {
    std::map<int, std::string> names;  // slot -> "Home", "device TV"
    std::map<int, DeviceTreeNode> nodes;  // the first node of the tree that links to the slot

    explicit DeviceIndex(const TTiFlashFm& flash) {
        names[kHomeSlot] = "Home";
        names[kMacroSlot] = "Macro";
        // A tree of devices linking to each other holds thousands of nodes;
        // only each slot's first is kept.
        VisitDeviceTree(flash, [&](const DeviceTreeNode& node, int) {
            const int slot = node.key.link;
            if (slot < 1 || slot > kLastDeviceSlot || nodes.count(slot)) return;
            nodes.emplace(slot, node);
            names[slot] = node.text.empty() ? "device " + std::to_string(slot) : "device " + node.text;
        });
    }
    bool Has(int slot) const { return names.count(slot) != 0; }
    std::string Name(int slot) const {
        auto it = names.find(slot);
        return it != names.end() ? it->second : "device " + std::to_string(slot);
    }
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// What the label shows on the LCD, icons read as their words ("vol up").
std::string LabelText(const KeyInfo& key) { return LabelWords(key.label); }

std::string KeyName(int key, const KeyInfo* info) {
    std::string name = "key " + std::to_string(key);
    if (info) {
        const std::string label = LabelText(*info);
        if (!label.empty()) name += " " + Quoted(label);
    }
    return name;
}

const char* TypeName(uint8_t type) {
    switch (type) {
    case kKeyIrCode: return "IR code";
    case kKeyDevice: return "Device";
    case kKeyMacro: return "Macro";
    case kKeyCycle: return "Cycle";
    case kKeyLabel: return "Label";
    default: return "unknown";
    }
}

std::string PlaceText(const KeyInfo& k) {
    const std::string page = k.page == kHardKeyPage ? "hard keys" : "page " + std::to_string(k.page + 1);
    return page + ", column " + std::to_string(k.column) + ", row " + std::to_string(k.row);
}

std::string CellsText(const KeyInfo& k) { return std::to_string(k.width) + " x " + std::to_string(k.height); }

const char* CodeTypeName(uint8_t type) {
    switch (type) {
    case kCodeNormal: return "Normal";
    case kCodeRc5: return "RC-5";
    case kCodeRc6: return "RC-6";
    case kCodePulse: return "Pulse";
    default: return "unknown";
    }
}

// "NEC 4 / 8" as the key editor shows it, else the code's type, carrier and
// symbols.
std::string IrCodeText(const IrCodeInfo& code) {
    const std::vector<IrPulse> pulses = MarksAndSpaces(code);
    if (const auto decoded = DecodeIr(pulses)) {
        std::string text = IrProtocolName(*decoded) + " " + std::to_string(decoded->device);
        if (decoded->subDevice) text += "." + std::to_string(*decoded->subDevice);
        return text + " / " + std::to_string(decoded->function);
    }
    char carrier[32];
    std::snprintf(carrier, sizeof carrier, "%.1f kHz", CarrierKhz(code.carrier));
    return std::string(CodeTypeName(code.codeType)) + " code, " + carrier + ", " +
           std::to_string(SymbolCount(code.firstCount, code.repeatCount)) + " symbols";
}

std::vector<uint8_t> PackedOf(const IrCodeInfo& code) {
    std::vector<uint8_t> bytes(size_t(code.size) * kBlockSize);
    if (bytes.empty() || !PackIrCode(code, bytes)) return {};
    return bytes;
}

// The record behind a key, read as what it is.
struct CodeRecord {
    enum Kind { None, Ir, Cycle, Macro, Raw } kind = None;
    std::vector<uint8_t> raw;
    IrCodeInfo ir;
    CycleInfo cycle;
    MacroInfo macro;
};

CodeRecord ReadRecord(const TTiFlashFm& flash, int device, int key) {
    CodeRecord r;
    if (!ReadCodeRaw(flash, device, key, r.raw)) return r;
    r.kind = CodeRecord::Raw;
    if (device == kMacroSlot) {
        if (UnpackMacro(r.raw, r.macro)) r.kind = CodeRecord::Macro;
    } else if (r.raw.size() > 1 && r.raw[1] == kCycleMarker) {
        if (ReadCycle(flash, device, key, r.cycle)) r.kind = CodeRecord::Cycle;
    } else if (UnpackIrCode(r.raw, r.ir)) {
        r.kind = CodeRecord::Ir;
    }
    return r;
}

std::string RecordText(const CodeRecord& r) {
    switch (r.kind) {
    case CodeRecord::Ir: return "IR code " + IrCodeText(r.ir);
    case CodeRecord::Cycle: return "cycle list of " + std::to_string(r.cycle.stepCount) + " steps";
    case CodeRecord::Macro: return "macro of " + std::to_string(r.macro.stepCount) + " steps";
    case CodeRecord::Raw: return "record of " + std::to_string(r.raw.size() / kBlockSize) + " blocks";
    case CodeRecord::None: break;
    }
    return "no code";
}

std::string TimerText(const MacroInfo& m) {
    if (m.timerKind == 0) return "disabled";
    if (m.timerKind & 1) {
        char text[64];
        std::snprintf(text, sizeof text, "on %d/%d at %02d:%02d (month/day)", m.month, m.day, m.hour, m.minute);
        return text;
    }
    static const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    std::string days;
    for (int d = 0; d < 7; ++d)
        if (m.timerKind & (2 << d)) days += (days.empty() ? "" : ", ") + std::string(kDays[d]);
    return "every " + days;
}

bool SameTimer(const MacroInfo& a, const MacroInfo& b) {
    if (a.timerKind != b.timerKind) return false;
    // A week timer keeps no date: the four bytes then hold whatever they held.
    if (!(a.timerKind & 1)) return true;
    return a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

class Comparer {
public:
    Comparer(const TTiFlashFm& a, const TTiFlashFm& b) : a_(a), b_(b), da_(a), db_(b) {}

    ImageComparison Run() {
        for (int slot = 0; slot < kDeviceSlots; ++slot) CompareDevice(slot);
        CompareSettings();
        ComparePictures();
        CompareOtherBytes();
        return std::move(out_);
    }

private:
    std::string StepText(const DeviceIndex& names, const MacroStep& s) const {
        char delay[16];
        if (s.delay == 0) std::snprintf(delay, sizeof delay, "0.5 s");
        else std::snprintf(delay, sizeof delay, "%d s", s.delay);
        return names.Name(s.device) + " key " + std::to_string(s.key) + ", " + delay;
    }

    void CompareDevice(int slot) {
        const bool inA = da_.Has(slot), inB = db_.Has(slot);
        if (!inA && !inB) return;
        DeviceDifferences dev;
        dev.slot = slot;
        dev.name = inB ? db_.Name(slot) : da_.Name(slot);
        if (inA != inB) {
            const DeviceIndex& where = inB ? db_ : da_;
            const DeviceTreeNode* node = &where.nodes.at(slot);
            std::string text = inB ? "added" : "removed";
            text += " (" + where.Name(node->key.ownerDevice) + " key " + std::to_string(node->key.parentKey);
            if (node->key.codeNumber >= 0) text += ", pre-program code " + std::to_string(node->key.codeNumber);
            text += ")";
            dev.changes.push_back({inB ? DiffTopic::DeviceAdded : DiffTopic::DeviceRemoved, text});
            out_.devices.push_back(std::move(dev));
            return;
        }
        if (slot != kHomeSlot && slot != kMacroSlot) {
            const KeyInfo& ka = da_.nodes.at(slot).key;
            const KeyInfo& kb = db_.nodes.at(slot).key;
            if (da_.Name(slot) != db_.Name(slot))
                dev.changes.push_back(
                    {DiffTopic::DeviceRenamed, "renamed from " + Quoted(da_.nodes.at(slot).text) + " to " +
                                                   Quoted(db_.nodes.at(slot).text)});
            if (ka.codeNumber != kb.codeNumber) {
                const auto code = [](int16_t n) { return n < 0 ? std::string("none") : std::to_string(n); };
                dev.changes.push_back({DiffTopic::DeviceCodeNumber, "pre-program code changed from " +
                                                                        code(ka.codeNumber) + " to " +
                                                                        code(kb.codeNumber)});
            }
            if (ka.ownerDevice != kb.ownerDevice || ka.parentKey != kb.parentKey)
                dev.changes.push_back({DiffTopic::DeviceParent, "now under " + db_.Name(kb.ownerDevice) + " key " +
                                                                    std::to_string(kb.parentKey) + " (was " +
                                                                    da_.Name(ka.ownerDevice) + " key " +
                                                                    std::to_string(ka.parentKey) + ")"});
        }
        for (int key = 0; key < kKeysPerDevice; ++key) CompareKey(slot, key, dev);
        if (!dev.changes.empty() || !dev.keys.empty()) out_.devices.push_back(std::move(dev));
    }

    // The Device key of a device that is added or removed, or renamed: that
    // device's own line says it.
    bool LinksAddedOrRemovedDevice(const KeyInfo& k) const {
        return k.keyType == kKeyDevice && k.link >= 1 && k.link <= kLastDeviceSlot &&
               da_.Has(k.link) != db_.Has(k.link);
    }

    static bool SameRecordBytes(const TTiFlashFm& a, const KeySlot& sa, const TTiFlashFm& b, const KeySlot& sb,
                                bool code) {
        const uint16_t ia = code ? sa.CodeBlock() : sa.keyRecord;
        const uint16_t ib = code ? sb.CodeBlock() : sb.keyRecord;
        const bool ha = code ? sa.HasCode() : sa.HasKeyRecord();
        const bool hb = code ? sb.HasCode() : sb.HasKeyRecord();
        if (ha != hb) return false;
        if (!ha) return true;
        const auto headA = StoreBytes(a, ia, 1);
        const auto headB = StoreBytes(b, ib, 1);
        if (headA.empty() || headB.empty() || headA[0] != headB[0] || headA[0] == 0 || headA[0] > 32) return false;
        if (code && headA.size() > 1 && headA[1] == kCycleMarker) return false;  // its steps lie elsewhere
        const auto ra = StoreBytes(a, ia, headA[0]);
        const auto rb = StoreBytes(b, ib, headB[0]);
        return !ra.empty() && ra.size() == rb.size() && std::equal(ra.begin(), ra.end(), rb.begin());
    }

    void CompareKey(int slot, int key, DeviceDifferences& dev) {
        KeySlot sa, sb;
        const bool slotA = ReadKeySlot(a_, slot, key, sa), slotB = ReadKeySlot(b_, slot, key, sb);
        if (!slotA && !slotB) return;
        // The quick way out for the many keys saved as they were.
        if (slotA && slotB && SameRecordBytes(a_, sa, b_, sb, false) && SameRecordBytes(a_, sa, b_, sb, true))
            return;
        KeyInfo ka, kb;
        const bool hasA = ReadKey(a_, slot, key, ka), hasB = ReadKey(b_, slot, key, kb);
        KeyDifferences kd;
        kd.key = key;
        kd.name = KeyName(key, hasB ? &kb : hasA ? &ka : nullptr);
        const CodeRecord ca = ReadRecord(a_, slot, key), cb = ReadRecord(b_, slot, key);
        if (hasA != hasB) {
            const KeyInfo& k = hasB ? kb : ka;
            if (LinksAddedOrRemovedDevice(k)) return;
            const CodeRecord& c = hasB ? cb : ca;
            std::string text = std::string(hasB ? "added: " : "removed: ") + TypeName(k.keyType) + " key on " +
                               PlaceText(k) + ", " + CellsText(k) + " cells";
            if (c.kind != CodeRecord::None) text += ", with " + RecordText(c);
            kd.changes.push_back({hasB ? DiffTopic::KeyAdded : DiffTopic::KeyRemoved, text});
            dev.keys.push_back(std::move(kd));
            return;
        }
        if (hasA)
            CompareKeyRecords(ka, kb, (ca.kind == CodeRecord::None) == (cb.kind == CodeRecord::None), kd);
        CompareCodes(slot, ca, cb, kd);
        if (!kd.changes.empty()) dev.keys.push_back(std::move(kd));
    }

    // `codeKept`: the key has a code on both sides or on neither.
    void CompareKeyRecords(const KeyInfo& ka, const KeyInfo& kb, bool codeKept, KeyDifferences& kd) {
        if (ka.page != kb.page || ka.column != kb.column || ka.row != kb.row)
            kd.changes.push_back({DiffTopic::KeyMoved, "moved from " + PlaceText(ka) + " to " + PlaceText(kb)});
        if (ka.width != kb.width || ka.height != kb.height)
            kd.changes.push_back({DiffTopic::KeyResized, "resized from " + CellsText(ka) + " to " + CellsText(kb)});
        const bool deviceKey = ka.keyType == kKeyDevice && kb.keyType == kKeyDevice && ka.link == kb.link &&
                               ka.link >= 1 && ka.link <= kLastDeviceSlot;
        const bool sameLabel = ka.labelLength == kb.labelLength &&
                               std::equal(ka.label.begin(), ka.label.begin() + std::min<int>(ka.labelLength, kLabelBytes),
                                          kb.label.begin());
        // A Device key's label is its device's name: the device says it.
        if (!sameLabel && !deviceKey)
            kd.changes.push_back(
                {DiffTopic::KeyLabel, "label changed from " + Quoted(LabelText(ka)) + " to " + Quoted(LabelText(kb))});
        if (ka.keyType != kb.keyType)
            kd.changes.push_back({DiffTopic::KeyType, std::string("type changed from ") + TypeName(ka.keyType) +
                                                          " to " + TypeName(kb.keyType)});
        else if (ka.keyType == kKeyDevice && ka.link != kb.link)
            kd.changes.push_back({DiffTopic::KeyFunction, "opens " + db_.Name(kb.link) + " instead of " +
                                                              da_.Name(ka.link)});
        std::vector<std::string> looks;
        const uint8_t fa = ka.flags, fb = kb.flags;
        if ((fa ^ fb) & kFlagRectangle)
            looks.push_back(fb & kFlagRectangle ? "ellipse to rectangle" : "rectangle to ellipse");
        if ((fa ^ fb) & kFlagAlignRight)
            looks.push_back(fb & kFlagAlignRight ? "label middle to right" : "label right to middle");
        if ((fa ^ fb) & kFlagWhite) looks.push_back(fb & kFlagWhite ? "black to white" : "white to black");
        // The code mark follows the type and the code, which say it themselves.
        if (((fa ^ fb) & kFlagHasCode) && ka.keyType == kb.keyType && codeKept)
            looks.push_back(fb & kFlagHasCode ? "code mark set" : "code mark cleared");
        if (ka.reserved2 != kb.reserved2 || ka.reserved7 != kb.reserved7)
            looks.push_back("record bytes carried for the remote changed");
        if (!looks.empty()) {
            std::string text = "look changed: ";
            for (size_t i = 0; i < looks.size(); ++i) text += (i ? "; " : "") + looks[i];
            kd.changes.push_back({DiffTopic::KeyStyle, text});
        }
    }

    void CompareCodes(int slot, const CodeRecord& ca, const CodeRecord& cb, KeyDifferences& kd) {
        if (ca.kind == CodeRecord::None && cb.kind == CodeRecord::None) return;
        if (ca.kind != cb.kind) {
            const DiffTopic topic = (ca.kind == CodeRecord::Macro || cb.kind == CodeRecord::Macro)   ? DiffTopic::Macro
                                    : (ca.kind == CodeRecord::Cycle || cb.kind == CodeRecord::Cycle) ? DiffTopic::Cycle
                                                                                                     : DiffTopic::IrCode;
            std::string text;
            if (ca.kind == CodeRecord::None) text = RecordText(cb) + " added";
            else if (cb.kind == CodeRecord::None) text = RecordText(ca) + " removed";
            else text = "code changed from " + RecordText(ca) + " to " + RecordText(cb);
            kd.changes.push_back({topic, text});
            return;
        }
        switch (ca.kind) {
        case CodeRecord::Ir: {
            if (PackedOf(ca.ir) == PackedOf(cb.ir)) return;
            const std::string ta = IrCodeText(ca.ir), tb = IrCodeText(cb.ir);
            kd.changes.push_back({DiffTopic::IrCode, ta == tb ? "IR code changed (" + ta + " both, timings differ)"
                                                              : "IR code changed from " + ta + " to " + tb});
            return;
        }
        case CodeRecord::Cycle: CompareCycles(ca.cycle, cb.cycle, kd); return;
        case CodeRecord::Macro: CompareMacros(ca.macro, cb.macro, kd); return;
        case CodeRecord::Raw:
            if (ca.raw != cb.raw)
                kd.changes.push_back({slot == kMacroSlot ? DiffTopic::Macro : DiffTopic::IrCode,
                                      "code record changed (" + std::to_string(ca.raw.size() / kBlockSize) +
                                          " blocks to " + std::to_string(cb.raw.size() / kBlockSize) +
                                          " blocks; it reads as no known record)"});
            return;
        case CodeRecord::None: return;
        }
    }

    void CompareCycles(const CycleInfo& a, const CycleInfo& b, KeyDifferences& kd) {
        const int steps = std::max(a.stepCount, b.stepCount);
        for (int i = 0; i < steps && i < kMaxCycleSteps; ++i) {
            const std::string n = "cycle step " + std::to_string(i + 1);
            if (i >= a.stepCount) {
                kd.changes.push_back({DiffTopic::Cycle, n + " added: " + IrCodeText(b.steps[size_t(i)])});
            } else if (i >= b.stepCount) {
                kd.changes.push_back({DiffTopic::Cycle, n + " removed (was " + IrCodeText(a.steps[size_t(i)]) + ")"});
            } else if (PackedOf(a.steps[size_t(i)]) != PackedOf(b.steps[size_t(i)])) {
                const std::string ta = IrCodeText(a.steps[size_t(i)]), tb = IrCodeText(b.steps[size_t(i)]);
                kd.changes.push_back({DiffTopic::Cycle, ta == tb ? n + " changed (" + ta + " both, timings differ)"
                                                                 : n + " changed from " + ta + " to " + tb});
            }
        }
        if (a.size != b.size || a.carried != b.carried)
            kd.changes.push_back({DiffTopic::Cycle, "cycle list bytes carried for the remote changed"});
    }

    void CompareMacros(const MacroInfo& a, const MacroInfo& b, KeyDifferences& kd) {
        const int steps = std::max(a.stepCount, b.stepCount);
        for (int i = 0; i < steps && i < kMaxMacroSteps; ++i) {
            const std::string n = "macro step " + std::to_string(i + 1);
            const MacroStep& sa = a.steps[size_t(i)];
            const MacroStep& sb = b.steps[size_t(i)];
            if (i >= a.stepCount) kd.changes.push_back({DiffTopic::Macro, n + " added: " + StepText(db_, sb)});
            else if (i >= b.stepCount)
                kd.changes.push_back({DiffTopic::Macro, n + " removed (was " + StepText(da_, sa) + ")"});
            else if (!(sa == sb))
                kd.changes.push_back(
                    {DiffTopic::Macro, n + " changed from " + StepText(da_, sa) + " to " + StepText(db_, sb)});
        }
        if (!SameTimer(a, b))
            kd.changes.push_back({DiffTopic::Timer, "timer changed from " + TimerText(a) + " to " + TimerText(b)});
    }

    // The settings as the settings dialog names them, read from their bytes
    // whether or not they are in range (an image with a value out of range is
    // still compared value by value).
    void CompareSettings() {
        struct Field {
            const char* name;
            uint32_t offset;
            bool word;
            const char* const* words;  // names of the values, where the dialog has them
        };
        static const char* const kBuzzer[] = {"Off", "Small", "Medium", "Large"};
        static const char* const kMotion[] = {"Off", "Slow", "Medium", "Fast"};
        static const char* const kOnOff[] = {"off", "on"};
        static const Field kFields[] = {
            {"Buzzer", 134, false, kBuzzer},       {"Contrast", 38, false, nullptr},
            {"LCD off", 132, true, nullptr},       {"Lit Sensitivity", 40, false, nullptr},
            {"Light Period", 39, false, nullptr},  {"Motion", 41, false, kMotion},
            {"Welcome page", 42, false, kOnOff},
        };
        const uint32_t page = a_.SettingsPageStart();
        const auto ia = a_.Image(), ib = b_.Image();
        if (ia.size() < page + kPageSize || ib.size() < page + kPageSize) return;
        const auto value = [&](std::span<const uint8_t> image, const Field& f) {
            return f.word ? int(image[page + f.offset] | image[page + f.offset + 1] << 8) : int(image[page + f.offset]);
        };
        const auto text = [](const Field& f, int v) {
            const int count = f.words == kOnOff ? 2 : 4;
            if (f.words && v < count) return std::string(f.words[v]);
            if (f.word) return v == 0 ? std::string("off") : std::to_string(v) + " s";
            return std::to_string(v);
        };
        for (const Field& f : kFields) {
            const int va = value(ia, f), vb = value(ib, f);
            if (va != vb)
                out_.settings.push_back(
                    {DiffTopic::Setting, std::string(f.name) + " changed from " + text(f, va) + " to " + text(f, vb)});
        }
        // Bytes 32 and 33 of the settings page: the version the document carries.
        if (ia[page + 32] != ib[page + 32] || ia[page + 33] != ib[page + 33]) {
            char va[16], vb[16];
            std::snprintf(va, sizeof va, "%d.%02d", ia[page + 32], ia[page + 33]);
            std::snprintf(vb, sizeof vb, "%d.%02d", ib[page + 32], ib[page + 33]);
            out_.settings.push_back({DiffTopic::Setting, std::string("version changed from ") + va + " to " + vb});
        }
        size_t other = 0;
        for (uint32_t i = 0; i < kPageSize; ++i) {
            const bool named = i == 32 || i == 33 || (i >= 38 && i <= 42) || (i >= 132 && i <= 134);
            if (!named && ia[page + i] != ib[page + i]) ++other;
        }
        if (other)
            out_.regions.push_back({DiffTopic::Region, "settings: " + std::to_string(other) +
                                                           (other == 1 ? " other byte differs" : " other bytes differ")});
    }

    void ComparePictures() {
        const struct {
            int which;
            const char* name;
        } kPictures[] = {{kWelcomeSystem, "welcome picture (system)"}, {kWelcomeReal, "welcome picture (real system)"}};
        for (const auto& p : kPictures) {
            PictureBytes pa{}, pb{};
            if (!ReadPicture(a_, p.which, pa) || !ReadPicture(b_, p.which, pb) || pa == pb) continue;
            int pixels = 0;
            for (size_t i = 0; i < pa.size(); ++i) pixels += std::popcount(unsigned(pa[i] ^ pb[i]));
            out_.pictures.push_back({DiffTopic::WelcomePicture, std::string(p.name) + " changed: " +
                                                                    std::to_string(pixels) + " pixels differ"});
        }
    }

    // Every page outside what the records above explain: the device pages,
    // the block map and the block store are compared record by record, the
    // settings page and the pictures just above.
    void CompareOtherBytes() {
        const auto ia = a_.Image(), ib = b_.Image();
        const uint32_t pages = uint32_t(std::min(ia.size(), ib.size()) / kPageSize);
        const auto pageOf = [](uint32_t offset) { return offset / uint32_t(kPageSize); };
        const uint32_t devices = pageOf(a_.DevicePagesStart());
        const uint32_t map = pageOf(a_.BlockMapStart());
        const uint32_t store = pageOf(a_.BlockStoreStart());
        const uint32_t storeEnd = store + (uint32_t(a_.BlockCount()) * kBlockSize + kPageSize - 1) / kPageSize;
        const uint32_t settings = pageOf(a_.SettingsPageStart());
        const uint32_t pictureBytes = uint32_t(kPictureBytes);
        const auto skipped = [&](uint32_t page, uint32_t byte) {
            const uint32_t offset = page * uint32_t(kPageSize) + byte;
            if (page >= devices && page < devices + kDeviceSlots) return true;
            if (page >= map && page < storeEnd) return true;  // block map, then the store
            if (page == settings) return true;
            for (uint32_t start : {a_.Welcome10Start(), a_.Welcome20Start()})
                if (offset >= start && offset < start + pictureBytes) return true;
            return false;
        };
        std::vector<uint32_t> differing;
        std::vector<size_t> bytes;
        // Whole pages the records above explain need no look.
        const auto explained = [&](uint32_t p) {
            return (p >= devices && p < devices + kDeviceSlots) || (p >= map && p < storeEnd) || p == settings;
        };
        // The rest is mostly alike: a stretch of up to 64 pages is compared
        // at once, and only one that differs page by page.
        uint32_t stretchEnd = 0;
        for (uint32_t p = 0; p < pages; ++p) {
            if (explained(p)) continue;
            if (p >= stretchEnd) {
                stretchEnd = p + 1;
                while (stretchEnd < pages && stretchEnd - p < 64 && !explained(stretchEnd)) ++stretchEnd;
                const size_t from = size_t(p) * kPageSize;
                if (std::memcmp(ia.data() + from, ib.data() + from, size_t(stretchEnd - p) * kPageSize) == 0) {
                    p = stretchEnd - 1;
                    continue;
                }
            }
            const size_t at = size_t(p) * kPageSize;
            if (std::memcmp(ia.data() + at, ib.data() + at, kPageSize) == 0) continue;
            size_t count = 0;
            for (uint32_t i = 0; i < kPageSize; ++i)
                if (ia[at + i] != ib[at + i] && !skipped(p, i)) ++count;
            if (!count) continue;
            differing.push_back(p);
            bytes.push_back(count);
        }
        if (ia.size() != ib.size())
            out_.regions.push_back({DiffTopic::Region, "image size differs: " + std::to_string(ia.size()) + " and " +
                                                           std::to_string(ib.size()) + " bytes"});
        if (differing.empty()) return;
        for (const PageRegion& r : DescribePages(a_, differing)) {
            size_t count = 0;
            for (uint32_t p : r.pages)
                count += bytes[size_t(std::lower_bound(differing.begin(), differing.end(), p) - differing.begin())];
            std::string text = r.what + ": " + std::to_string(count) + (count == 1 ? " byte differs" : " bytes differ");
            if (r.what.rfind("page", 0) != 0) {
                text += r.pages.size() == 1 ? " (page " + std::to_string(r.pages.front()) + ")"
                                            : " (" + std::to_string(r.pages.size()) + " pages from " +
                                                  std::to_string(r.pages.front()) + ")";
            }
            out_.regions.push_back({DiffTopic::Region, text});
        }
    }

    const TTiFlashFm& a_;
    const TTiFlashFm& b_;
    DeviceIndex da_, db_;
    ImageComparison out_;
};

}  // namespace

size_t ImageComparison::Count() const {
    size_t n = settings.size() + pictures.size() + regions.size();
    for (const DeviceDifferences& d : devices) {
        n += d.changes.size();
        for (const KeyDifferences& k : d.keys) n += k.changes.size();
    }
    return n;
}

ImageComparison CompareImages(const TTiFlashFm& a, const TTiFlashFm& b) { return Comparer(a, b).Run(); }

std::vector<std::string> ComparisonLines(const ImageComparison& c) {
    std::vector<std::string> lines;
    for (const DeviceDifferences& d : c.devices) {
        lines.push_back(d.name);
        for (const Difference& x : d.changes) lines.push_back("  " + x.text);
        for (const KeyDifferences& k : d.keys) {
            lines.push_back("  " + k.name);
            for (const Difference& x : k.changes) lines.push_back("    " + x.text);
        }
    }
    const auto group = [&](const char* title, const std::vector<Difference>& list) {
        if (list.empty()) return;
        lines.push_back(title);
        for (const Difference& x : list) lines.push_back("  " + x.text);
    };
    group("Settings", c.settings);
    group("Welcome pictures", c.pictures);
    group("Other bytes", c.regions);
    return lines;
}

}  // namespace orvalink
