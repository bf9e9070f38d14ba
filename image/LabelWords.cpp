#include "image/LabelWords.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "image/KeyRecords.h"
#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"

namespace orvalink {

// Generated from the icon set's source (cmake/IconWords.cmake).
std::span<const char* const> IconWordTable();

namespace {

constexpr uint8_t kFirstGlyphCode = 32;
constexpr uint8_t kLastGlyphCode = 175;   // 32..175 are the glyphs 0..143
constexpr uint8_t kLastSkippedCode = 182; // 176..182 have no glyph and are skipped

}  // namespace

std::string IconWords(int index) {
    const std::span<const char* const> table = IconWordTable();
    if (index < 0 || index >= kIconCount || size_t(index) >= table.size()) return {};
    return table[size_t(index)];
}

std::string LabelWords(std::span<const uint8_t> label) {
    std::vector<std::string> words;
    std::string run;  // characters in a row make one word
    auto endRun = [&] {
        if (!run.empty()) words.push_back(std::move(run));
        run.clear();
    };
    const size_t n = std::min(label.size(), size_t(kLabelScanBytes));
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = label[i];
        if (c >= kFirstGlyphCode && c <= kLastGlyphCode) {
            run += Utf8Of(LabelCharCode(c));
        } else if (c > kLastGlyphCode && c <= kLastSkippedCode) {
            continue;
        } else if (c == kLabelBreak) {
            endRun();
        } else if (c >= kLabelIcon) {
            // An icon code takes its index byte (a missing one or the end
            // zero ends the label) and the room of an icon; only code 240
            // draws one. An index byte beyond the icons a label reaches
            // leaves the whole label undrawn, so there is nothing to read.
            if (i + 1 >= n || label[i + 1] == kLabelEnd) break;
            const uint8_t indexByte = label[++i];
            if (indexByte >= kGlyphCount) return {};
            endRun();
            if (c != kLabelIcon) continue;
            std::string icon = IconWords(int(indexByte) - 1);
            if (!icon.empty()) words.push_back(std::move(icon));
        } else {
            break;  // 0 ends the label, and so does any other code
        }
    }
    endRun();
    std::string out;
    for (const std::string& w : words) {
        // A blank inside a run of characters stays; blanks at its ends go.
        std::string_view v = w;
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        if (v.empty()) continue;
        if (!out.empty()) out += ' ';
        out += v;
    }
    return out;
}

}  // namespace orvalink
