// A key label as the key property editor edits it: a list of elements
// (character, icon, line break) with an insertion cursor, encoded into the
// remote's label bytes, at most 30 of them before the terminator.
//
// Label bytes: 32..182 a character, 240..255 an icon code followed by its
// index byte (icon number + 1), 13 a line break, 0 the end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/KeyRecords.h"

namespace orvalink {

inline constexpr int kMaxLabelBytes = 30;
inline constexpr const char* kLabelOverRangeText = "<< Over range ! >> \n\n The maximal characters are 30 !";
// The longest label length (terminator included) the editor opens a key
// with; a key with a longer label is refused.
inline constexpr int kMaxEditedLabelLength = 32;
bool LabelEditable(const KeyInfo& key);

enum class LabelElementKind : uint8_t { Character, Icon, Break };

struct LabelElement {
    LabelElementKind kind = LabelElementKind::Character;
    uint8_t code = 32;       // the character, the icon code (240..255) or 13
    uint8_t iconIndex = 0;   // icons: the byte after the code (icon number + 1)
    int ByteCount() const { return kind == LabelElementKind::Icon ? 2 : 1; }
    bool operator==(const LabelElement&) const = default;
};

LabelElement CharacterElement(uint8_t code);
LabelElement IconElement(int iconNumber);  // 0xF0 and iconNumber + 1 (0 for a number outside 0..164)
LabelElement BreakElement();

// The elements of label bytes up to the first 0 (or the end). Bytes that
// are none of the kinds above (1..12, 14..31, 183..239) are skipped; an icon
// code at the very end has no index byte and ends the label.
std::vector<LabelElement> DecodeLabel(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodeLabel(const std::vector<LabelElement>& elements);

// The palette cells: 15 columns by 10 rows.
inline constexpr int kPaletteColumns = 15;
inline constexpr int kPaletteRows = 10;
// The character of cell `index` (code index + 32 for 0..143).
std::optional<LabelElement> CharacterCell(int index);
// The icon of cell `index`: icon index for 0..164, 0xF0 0 above.
LabelElement IconCell(int index);

// The editing state: elements and the cursor (1-based; the cursor stands
// under element `cursor`, or after the last one at elements + 1).
class LabelEditor {
public:
    void Load(std::span<const uint8_t> bytes);
    void Clear();

    const std::vector<LabelElement>& Elements() const { return elements_; }
    int Cursor() const { return cursor_; }
    std::vector<uint8_t> Encoded() const { return EncodeLabel(elements_); }

    // " << Add": inserts at the cursor and moves the cursor past it; false
    // (nothing changes) when the encoded label would reach 31 bytes.
    bool Add(const LabelElement& element);
    // "Enter": a line break, without the length check.
    void Enter();
    // "Del <<": removes the element before the cursor; the cursor moves back
    // only when it stood after the last element. False when nothing was removed.
    bool Delete();
    // "<<" down to 1, ">>" up to the number of elements.
    bool Left();
    bool Right();

private:
    std::vector<LabelElement> elements_;
    int cursor_ = 1;
};

// The key as it would stand on the LCD with the edited label and shape, for
// telling whether the label fits it: its label bytes the encoded label (cut
// to the label room, zero after it) and its Rect flag the shape chosen;
// everything else as the key holds it.
KeyInfo KeyShowingLabel(const KeyInfo& key, std::span<const uint8_t> encoded, bool rectangle);

}  // namespace orvalink
