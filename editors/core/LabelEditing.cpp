#include "editors/core/LabelEditing.h"

#include <algorithm>

namespace orvalink {

LabelElement CharacterElement(uint8_t code) { return {LabelElementKind::Character, code, 0}; }

LabelElement IconElement(int iconNumber) {
    const bool known = iconNumber >= 0 && iconNumber <= 164;
    return {LabelElementKind::Icon, 0xF0, uint8_t(known ? iconNumber + 1 : 0)};
}

LabelElement BreakElement() { return {LabelElementKind::Break, 13, 0}; }

std::vector<LabelElement> DecodeLabel(std::span<const uint8_t> bytes) {
    std::vector<LabelElement> out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t b = bytes[i];
        if (b == 0) break;
        if (b == 13) {
            out.push_back(BreakElement());
        } else if (b >= 240) {
            if (i + 1 >= bytes.size()) break;
            out.push_back({LabelElementKind::Icon, b, bytes[i + 1]});
            ++i;
        } else if (b >= 32 && b <= 182) {
            out.push_back(CharacterElement(b));
        }
    }
    return out;
}

std::vector<uint8_t> EncodeLabel(const std::vector<LabelElement>& elements) {
    std::vector<uint8_t> out;
    for (const LabelElement& e : elements) {
        out.push_back(e.code);
        if (e.kind == LabelElementKind::Icon) out.push_back(e.iconIndex);
    }
    return out;
}

std::optional<LabelElement> CharacterCell(int index) {
    if (index < 0 || index > 143) return std::nullopt;
    return CharacterElement(uint8_t(index + 32));
}

LabelElement IconCell(int index) { return IconElement(index); }

void LabelEditor::Load(std::span<const uint8_t> bytes) {
    elements_ = DecodeLabel(bytes);
    cursor_ = int(elements_.size()) + 1;
}

void LabelEditor::Clear() {
    elements_.clear();
    cursor_ = 1;
}

bool LabelEditor::Add(const LabelElement& element) {
    if (EncodeLabel(elements_).size() + size_t(element.ByteCount()) > size_t(kMaxLabelBytes)) return false;
    elements_.insert(elements_.begin() + (cursor_ - 1), element);
    ++cursor_;
    return true;
}

void LabelEditor::Enter() {
    elements_.insert(elements_.begin() + (cursor_ - 1), BreakElement());
    ++cursor_;
}

bool LabelEditor::Delete() {
    if (cursor_ <= 1 || elements_.empty()) return false;
    const bool atEnd = cursor_ > int(elements_.size());
    elements_.erase(elements_.begin() + (cursor_ - 2));
    if (atEnd) --cursor_;
    return true;
}

bool LabelEditor::Left() {
    if (cursor_ <= 1) return false;
    --cursor_;
    return true;
}

bool LabelEditor::Right() {
    if (cursor_ >= int(elements_.size())) return false;
    ++cursor_;
    return true;
}

bool LabelEditable(const KeyInfo& key) { return key.labelLength <= kMaxEditedLabelLength; }

KeyInfo KeyShowingLabel(const KeyInfo& key, std::span<const uint8_t> encoded, bool rectangle) {
    KeyInfo shown = key;
    shown.label.fill(0);
    std::copy_n(encoded.begin(), std::min(encoded.size(), shown.label.size() - 1), shown.label.begin());
    shown.flags = rectangle ? uint8_t(shown.flags | kFlagRectangle) : uint8_t(shown.flags & ~kFlagRectangle);
    return shown;
}

}  // namespace orvalink
