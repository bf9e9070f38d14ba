#include "tools/gen-default/LayoutTemplates.h"

#include <set>

#include "image/DeviceBundle.h"
#include "tools/gen-default/AssetText.h"

namespace orvalink::gen {

namespace {

constexpr int kLabelRoom = 31;  // the label bytes a key record of 6 blocks keeps, without the terminating zero

// Blocks a key record needs for a label of `length` codes and its zero.
uint8_t KeySizeFor(size_t length) { return uint8_t(1 + (length + 1 + 7) / 8); }

KeyInfo MakeKey(const std::vector<uint8_t>& label, uint8_t page, uint8_t column, uint8_t row, uint8_t width,
                uint8_t height, bool rectangle) {
    KeyInfo k = DefaultKey();
    k.size = KeySizeFor(label.size());
    k.page = page;
    k.flags = uint8_t(kFlagHasCode | kFlagWhite | (rectangle ? kFlagRectangle : 0));
    k.column = column;
    k.row = row;
    k.width = width;
    k.height = height;
    k.SetLabel(std::span<const uint8_t>(label));
    return k;
}

}  // namespace

int TemplateOfCode(int code) {
    if (code < 768) return 1004;
    if (code < 1152) return 1002;
    if (code < 1536) return 1001;
    if (code < 1920) return 1005;
    if (code < 2304) return 1006;
    if (code < 2560) return 1009;
    if (code < 2816) return 1008;
    return 1010;
}

bool EncodeLabel(const std::string& text, const std::map<std::string, int>& icons, std::vector<uint8_t>& codes,
                 std::string& error) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '|') {
            out.push_back(13);
        } else if (c == '{') {
            size_t close = text.find('}', i);
            if (close == std::string::npos) {
                error = "label '" + text + "': '{' without '}'";
                return false;
            }
            std::string name = text.substr(i + 1, close - i - 1);
            i = close;
            if (!name.empty() && name[0] == '#') {
                unsigned code = 0;
                if (!ParseAssetNumber(name.substr(1), 182, code) || code < 32) {
                    error = "label '" + text + "': {" + name + "} is not a character code of 32..182";
                    return false;
                }
                out.push_back(uint8_t(code));
                continue;
            }
            auto it = icons.find(name);
            if (it == icons.end()) {
                error = "label '" + text + "': no icon named '" + name + "'";
                return false;
            }
            // A label reaches the icons whose index byte (index + 1) is below 144.
            if (it->second >= 143) {
                error = "label '" + text + "': icon '" + name + "' lies beyond the icons a label can show";
                return false;
            }
            out.push_back(0xF0);
            out.push_back(uint8_t(it->second + 1));
        } else if (c >= 32 && c <= 126) {
            out.push_back(c);
        } else {
            error = "label '" + text + "': character code " + std::to_string(c) + " is not written as text";
            return false;
        }
    }
    if (out.size() > size_t(kLabelRoom)) {
        error = "label '" + text + "' takes " + std::to_string(out.size()) + " codes, a key holds 31";
        return false;
    }
    codes = std::move(out);
    return true;
}

bool ReadTemplates(const std::filesystem::path& path, const std::map<std::string, int>& icons,
                   std::vector<LayoutTemplate>& templates, std::string& error) {
    std::vector<AssetLine> lines;
    if (!ReadAssetLines(path, lines, error)) return false;
    std::vector<LayoutTemplate> out;
    int page = -1;
    int nextKey = kHardKeyCount;
    std::set<int> numbers;
    auto fail = [&](int line, const std::string& message) {
        error = AssetError(path, line, message);
        return false;
    };
    for (const auto& line : lines) {
        const auto& w = line.words;
        if (w.empty()) continue;
        if (w[0] == "template") {
            unsigned number = 0;
            if (w.size() != 4 || !ParseAssetNumber(w[1], 9999, number) || number < kFirstTemplate ||
                number > kLastTemplate)
                return fail(line.number, "expected 'template 1001..1010 TYPE \"TITLE\"'");
            if (!numbers.insert(int(number)).second) return fail(line.number, "template given twice");
            LayoutTemplate t;
            t.number = int(number);
            t.deviceType = w[2];
            std::vector<uint8_t> title;
            if (!EncodeLabel(w[3], icons, title, error)) return fail(line.number, error);
            t.deviceKey = MakeKey(title, 0, 0, 0, 3, 2, true);
            t.deviceKey.keyType = kKeyDevice;
            t.deviceKey.flags = kFlagWhite;
            for (auto& k : t.keys) k.size = 0xFF;
            out.push_back(std::move(t));
            page = -1;
            nextKey = kHardKeyCount;
            continue;
        }
        if (out.empty()) return fail(line.number, "'" + w[0] + "' before the first template");
        LayoutTemplate& t = out.back();
        if (w[0] == "hard") {
            if (w.size() != 1 + kHardKeyCount) return fail(line.number, "'hard' names the six hard keys' functions");
            for (int k = 0; k < kHardKeyCount; ++k) t.functions[size_t(k)] = w[size_t(1 + k)] == "-" ? "" : w[size_t(1 + k)];
        } else if (w[0] == "page") {
            unsigned p = 0;
            if (w.size() != 2 || !ParseAssetNumber(w[1], 7, p)) return fail(line.number, "expected 'page 0..7'");
            page = int(p);
        } else if (w[0] == "key") {
            unsigned col = 0, row = 0, width = 0, height = 0;
            if (w.size() != 8 || !ParseAssetNumber(w[1], 4, col) || !ParseAssetNumber(w[2], 6, row) ||
                !ParseAssetNumber(w[3], 6, width) || !ParseAssetNumber(w[4], 8, height) || width < 2 || height < 2 ||
                (w[5] != "rect" && w[5] != "oval"))
                return fail(line.number, "expected 'key COL ROW WIDTH HEIGHT rect|oval \"LABEL\" FUNCTION'");
            if (col + width > 6 || row + height > 8) return fail(line.number, "the key does not lie inside the grid");
            if (page < 0) return fail(line.number, "a key before the first 'page'");
            if (nextKey >= kKeysPerDevice) return fail(line.number, "more than 58 soft keys");
            // No two keys of a page may overlap.
            for (int k = kHardKeyCount; k < nextKey; ++k) {
                const KeyInfo& o = t.keys[size_t(k)];
                if (o.page != page) continue;
                bool apart = col + width <= o.column || o.column + o.width <= col || row + height <= o.row ||
                             o.row + o.height <= row;
                if (!apart) return fail(line.number, "the key overlaps key " + std::to_string(k));
            }
            std::vector<uint8_t> label;
            if (!EncodeLabel(w[6], icons, label, error)) return fail(line.number, error);
            t.keys[size_t(nextKey)] = MakeKey(label, uint8_t(page), uint8_t(col), uint8_t(row), uint8_t(width),
                                              uint8_t(height), w[5] == "rect");
            t.functions[size_t(nextKey)] = w[7] == "-" ? "" : w[7];
            ++nextKey;
        } else {
            return fail(line.number, "unknown word '" + w[0] + "'");
        }
    }
    templates = std::move(out);
    return true;
}

bool PackTemplate(const LayoutTemplate& layout, std::vector<uint8_t>& flat, std::string& error) {
    DeviceBundle bundle;
    bundle.device = CopyKeyInfo(layout.deviceKey);
    bundle.device.size = 4;
    int pos = 0;
    for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
        const KeyInfo& key = layout.keys[size_t(k)];
        if (key.size == 0xFF) continue;
        auto out = std::span<uint8_t>(bundle.blocks).subspan(8 * size_t(pos), 8 * size_t(key.size));
        std::fill(out.begin(), out.end(), uint8_t(0));
        if (!PackKey(key, out)) {
            error = "template " + std::to_string(layout.number) + ": key " + std::to_string(k) + " cannot be packed";
            return false;
        }
        bundle.slotTable[size_t(k)] = uint16_t(pos);
        pos += key.size;
    }
    if (!PackDevice(bundle, flat) || flat.size() < 100 || flat.size() > 20000) {
        error = "template " + std::to_string(layout.number) + " does not make a bundle of 100..20000 bytes";
        return false;
    }
    return true;
}

}  // namespace orvalink::gen
