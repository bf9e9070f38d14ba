#include "editors/core/CycleDraft.h"

#include <algorithm>

namespace orvalink {

int CycleHeaderBlocks(int steps) { return steps / 4 + 1 + (steps % 4 != 0 ? 1 : 0); }

bool CycleDraft::Select(int step) {
    if (step < 1 || step > Count()) return false;
    selected_ = step;
    return true;
}

void CycleDraft::Clear() {
    steps_.clear();
    selected_ = 0;
    nextCode_ = 1;
}

bool CycleDraft::AddLearned(const LearnedCode& learned, const IrCodeInfo& stored) {
    if (Count() >= kMaxCycleSteps) return false;
    CycleStep s;
    s.learned = learned;
    s.stored = stored;
    s.stepText = std::to_string(Count() + 1);
    s.codeText = "Code " + std::to_string(nextCode_++);
    steps_.push_back(s);
    return true;
}

void CycleDraft::Renumber() {
    for (size_t i = 0; i < steps_.size(); ++i) steps_[i].stepText = std::to_string(i + 1);
}

bool CycleDraft::Remove() {
    if (selected_ < 1 || selected_ > Count()) return false;
    steps_.erase(steps_.begin() + (selected_ - 1));
    Renumber();
    selected_ = steps_.empty() ? 0 : std::min(selected_, Count());
    return true;
}

bool CycleDraft::MoveUp() {
    if (selected_ <= 1 || selected_ > Count()) return false;
    std::swap(steps_[size_t(selected_ - 1)], steps_[size_t(selected_ - 2)]);
    --selected_;
    Renumber();
    return true;
}

bool CycleDraft::MoveDown() {
    if (selected_ < 1 || selected_ >= Count()) return false;
    std::swap(steps_[size_t(selected_ - 1)], steps_[size_t(selected_)]);
    ++selected_;
    Renumber();
    return true;
}

bool CycleDraft::LoadFromKey(const LayoutKey& key) {
    Clear();
    const KeyInfo& k = key.info;
    if (k.codeBlockCount == 0xFF || k.codeBlocks[0] < 2 || k.codeBlocks[0] > 4 || k.codeBlocks[1] != kCycleMarker ||
        k.codeBlocks[7] < 1 || k.codeBlocks[7] > 10 || !key.hasCycle)
        return false;
    const int n = std::min<int>(key.cycle.stepCount, kMaxCycleSteps);
    for (int i = 0; i < n; ++i) {
        CycleStep s;
        s.stored = key.cycle.steps[size_t(i)];
        if (!StoredToSend(s.stored, s.learned)) {
            Clear();
            return false;
        }
        s.stepText = std::to_string(i);
        s.codeText = std::to_string(i);
        steps_.push_back(s);
    }
    nextCode_ = n + 1;
    return n > 0;
}

bool CycleDraft::PackInto(LayoutKey& key) const {
    if (steps_.empty()) return false;
    KeyInfo& k = key.info;
    const int count = CycleHeaderBlocks(Count());
    std::fill(k.codeBlocks.begin(), k.codeBlocks.end(), uint8_t(0xFF));
    std::fill_n(k.codeBlocks.begin(), 8 + 20, uint8_t(0));
    k.codeBlocks[0] = uint8_t(count);
    k.codeBlocks[1] = kCycleMarker;
    k.codeBlocks[7] = uint8_t(Count());
    k.codeBlockCount = uint8_t(count);
    key.cycle = CycleInfo{};
    key.cycle.size = uint8_t(count);
    key.cycle.stepCount = uint8_t(Count());
    for (size_t i = 0; i < steps_.size(); ++i) key.cycle.steps[i] = steps_[i].stored;
    key.hasCycle = true;
    return true;
}

}  // namespace orvalink
