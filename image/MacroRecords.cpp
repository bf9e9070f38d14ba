#include "image/MacroRecords.h"

#include <algorithm>

#include "base/ByteIo.h"
#include "image/BlockStore.h"
#include "image/CodeRecords.h"

namespace orvalink {

namespace {

bool StepOk(const MacroStep& s) { return s.device <= kLastDeviceSlot && s.key < kKeysPerDevice; }

}  // namespace

int MacroBlocks(int steps) { return 1 + (3 * steps + 7) / 8; }

bool UnpackMacro(std::span<const uint8_t> record, MacroInfo& info) {
    ByteReader r(record);
    MacroInfo m;
    m.size = r.U8();
    uint8_t marker = r.U8();
    m.timerKind = r.U8();
    m.month = r.U8();
    m.day = r.U8();
    m.hour = r.U8();
    m.minute = r.U8();
    m.stepCount = r.U8();
    if (!r.ok() || marker != kMacroMarker || m.size < 1 || m.size > kMaxMacroBlocks || m.stepCount < 1 ||
        m.stepCount > kMaxMacroSteps || m.size < MacroBlocks(m.stepCount) || record.size() < 8 * size_t(m.size))
        return false;
    for (int i = 0; i < m.stepCount; ++i) {
        MacroStep& s = m.steps[size_t(i)];
        s.device = r.U8();
        s.key = r.U8();
        s.delay = r.U8();
        if (!StepOk(s)) return false;
    }
    if (!r.ok()) return false;
    info = m;
    return true;
}

bool PackMacro(const MacroInfo& info, std::vector<uint8_t>& record) {
    if (info.stepCount < 1 || info.stepCount > kMaxMacroSteps) return false;
    for (int i = 0; i < info.stepCount; ++i)
        if (!StepOk(info.steps[size_t(i)])) return false;
    const int blocks = MacroBlocks(info.stepCount);
    std::vector<uint8_t> out(8 * size_t(blocks), 0xFF);
    ByteWriter w(out);
    w.U8(uint8_t(blocks));
    w.U8(kMacroMarker);
    w.U8(info.timerKind);
    w.U8(info.month);
    w.U8(info.day);
    w.U8(info.hour);
    w.U8(info.minute);
    w.U8(info.stepCount);
    for (int i = 0; i < info.stepCount; ++i) {
        w.U8(info.steps[size_t(i)].device);
        w.U8(info.steps[size_t(i)].key);
        w.U8(info.steps[size_t(i)].delay);
    }
    if (!w.ok()) return false;
    record = std::move(out);
    return true;
}

bool ReadMacro(const TTiFlashFm& flash, int key, MacroInfo& info) {
    std::vector<uint8_t> raw;
    return ReadCodeRaw(flash, kMacroSlot, key, raw) && UnpackMacro(raw, info);
}

bool WriteMacro(TTiFlashFm& flash, int key, const MacroInfo& info) {
    std::vector<uint8_t> raw;
    return PackMacro(info, raw) && WriteCodeRaw(flash, kMacroSlot, key, raw[0], raw);
}

bool DeleteMacro(TTiFlashFm& flash, int key) {
    MacroInfo m;
    if (!ReadMacro(flash, key, m)) return false;
    KeySlot slot;
    if (!ReadKeySlot(flash, kMacroSlot, key, slot) || !MarkBlocks(flash, slot.CodeBlock(), m.size, true))
        return false;
    slot.codeIndex = kNoIndex;
    return WriteKeySlot(flash, kMacroSlot, key, slot);
}

}  // namespace orvalink
