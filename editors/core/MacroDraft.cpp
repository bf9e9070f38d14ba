#include "editors/core/MacroDraft.h"

#include <algorithm>
#include <charconv>

namespace orvalink {

namespace {

std::optional<int> NumberOf(const std::string& text) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return v;
}

}  // namespace

std::string DelayText(int delay) { return delay == 0 ? "0.5" : std::to_string(delay); }

bool MacroDraft::Select(int step) {
    if (step < 1 || step > Count()) return false;
    selected_ = step;
    return true;
}

void MacroDraft::Clear() {
    rows_.clear();
    selected_ = 0;
}

void MacroDraft::SetRows(std::vector<MacroRow> rows) {
    rows_ = std::move(rows);
    if (int(rows_.size()) > kMaxGridSteps) rows_.resize(kMaxGridSteps);
    selected_ = 0;
}

bool MacroDraft::Append(const MacroRow& row) {
    if (Count() >= kMaxGridSteps) return false;
    rows_.push_back(row);
    return true;
}

bool MacroDraft::Insert(int step, const MacroRow& row) {
    if (step < 1 || step > Count() || Count() >= kMaxGridSteps) return false;
    rows_.insert(rows_.begin() + (step - 1), row);
    return true;
}

bool MacroDraft::Replace(int step, const MacroRow& row) {
    if (step < 1 || step > Count()) return false;
    rows_[size_t(step - 1)] = row;
    return true;
}

bool MacroDraft::Remove(int step) {
    if (step < 1 || step > Count()) return false;
    rows_.erase(rows_.begin() + (step - 1));
    selected_ = rows_.empty() ? 0 : std::min(step, Count());
    return true;
}

bool MacroDraft::MoveUp() {
    if (!CanMoveUp()) return false;
    std::swap(rows_[size_t(selected_ - 1)], rows_[size_t(selected_ - 2)]);
    --selected_;
    return true;
}

bool MacroDraft::MoveDown() {
    if (!CanMoveDown()) return false;
    std::swap(rows_[size_t(selected_ - 1)], rows_[size_t(selected_)]);
    ++selected_;
    return true;
}

bool MacroDraft::SetTime(int step, const std::string& text) {
    if (step < 1 || step > Count()) return false;
    rows_[size_t(step - 1)].time = text;
    return true;
}

std::optional<std::vector<uint8_t>> BuildMacroData(const std::vector<MacroRow>& rows, const TimerBytes& timer) {
    const int steps = int(rows.size());
    if (steps > kMaxGridSteps) return std::nullopt;
    const int blocks = 1 + (3 * steps + 7) / 8;
    std::vector<uint8_t> out(size_t(blocks) * 8, 0);
    out[0] = uint8_t(blocks);
    out[1] = 15;
    out[2] = timer.kind;
    out[3] = timer.month;
    out[4] = timer.day;
    out[5] = timer.hour;
    out[6] = timer.minute;
    out[7] = uint8_t(steps);
    for (int n = 0; n < steps; ++n) {
        const MacroRow& r = rows[size_t(n)];
        const auto device = NumberOf(r.devNo);
        const auto key = NumberOf(r.keyNo);
        const auto delay = r.time == "0.5" ? std::optional<int>(0) : NumberOf(r.time);
        if (!device || !key || !delay) return std::nullopt;
        if (*device < 0 || *device > 64 || *key < 0 || *key > 63 || *delay < 0 || *delay > 10) return std::nullopt;
        out[size_t(8 + 3 * n)] = uint8_t(*device);
        out[size_t(9 + 3 * n)] = uint8_t(*key);
        out[size_t(10 + 3 * n)] = uint8_t(*delay);
    }
    return out;
}

std::optional<MacroData> ParseMacroData(const KeyInfo& key) {
    if (!HasKeyCode(key) || key.codeBlocks[1] != 15) return std::nullopt;
    MacroData m;
    const auto& b = key.codeBlocks;
    m.timer = {b[2], b[3], b[4], b[5], b[6]};
    const size_t room = std::min(size_t(key.codeBlockCount) * 8, b.size());
    const int steps = std::min<int>(b[7], kMaxGridSteps);
    for (int n = 0; n < steps; ++n) {
        const size_t at = size_t(8 + 3 * n);
        if (at + 3 > room) break;
        m.steps.push_back({b[at], b[at + 1], b[at + 2]});
    }
    return m;
}

void StoreMacroData(const std::vector<uint8_t>& data, KeyInfo& key) {
    key.codeBlocks.fill(0xFF);
    std::copy_n(data.begin(), std::min(data.size(), key.codeBlocks.size()), key.codeBlocks.begin());
    key.codeBlockCount = data.empty() ? 0xFF : data[0];
}

}  // namespace orvalink
