// Text that comes from outside (a file, the upgrade server, the remote) made
// safe to show: every control character, and every byte that is not part of
// well-formed UTF-8, is written as \xHH, so a name can neither clear a
// terminal, move its cursor nor cut a line short. Printable text, UTF-8
// letters of any script included, stays as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalink {

inline std::string EscapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](uint8_t b) {
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    };
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b < 0x80) {
            if (b < 0x20 || b == 0x7F) escape(b);
            else out += char(b);
            ++i;
            continue;
        }
        // The length of a well-formed sequence led by b, and its lowest
        // code point (shorter forms of the same point are not well formed).
        size_t length = 0;
        uint32_t point = 0, lowest = 0;
        if (b >= 0xC2 && b <= 0xDF) length = 2, point = b & 0x1F, lowest = 0x80;
        else if (b >= 0xE0 && b <= 0xEF) length = 3, point = b & 0x0F, lowest = 0x800;
        else if (b >= 0xF0 && b <= 0xF4) length = 4, point = b & 0x07, lowest = 0x10000;
        bool wellFormed = length > 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const auto c = static_cast<uint8_t>(text[i + k]);
            if ((c & 0xC0) != 0x80) wellFormed = false;
            point = (point << 6) | (c & 0x3F);
        }
        wellFormed = wellFormed && point >= lowest && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (!wellFormed) {
            escape(b);
            ++i;
            continue;
        }
        // The C1 controls (U+0080..U+009F) act on terminals as ESC sequences do.
        if (point <= 0x9F) {
            for (size_t k = 0; k < length; ++k) escape(static_cast<uint8_t>(text[i + k]));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace orvalink
