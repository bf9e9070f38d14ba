#include "tools/gen-default/AssetText.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace orvalink::gen {

std::string AssetError(const std::filesystem::path& file, int line, const std::string& message) {
    return file.filename().string() + ":" + std::to_string(line) + ": " + message;
}

bool ReadTextFile(const std::filesystem::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return false;
    text = s.str();
    return true;
}

bool SplitAssetLines(const std::filesystem::path& file, const std::string& text, std::vector<AssetLine>& lines,
                     std::string& error) {
    std::vector<AssetLine> out;
    size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        AssetLine line;
        line.number = ++number;
        line.text = text.substr(pos, end - pos);
        if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
        pos = end + 1;

        const std::string& t = line.text;
        size_t i = 0;
        while (i < t.size()) {
            if (t[i] == ' ' || t[i] == '\t') {
                ++i;
                continue;
            }
            if (t[i] == '#') break;
            std::string word;
            if (t[i] == '"') {
                size_t close = t.find('"', i + 1);
                if (close == std::string::npos) {
                    error = AssetError(file, line.number, "a quote is not closed");
                    return false;
                }
                word = t.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                size_t stop = i;
                while (stop < t.size() && t[stop] != ' ' && t[stop] != '\t') ++stop;
                word = t.substr(i, stop - i);
                i = stop;
            }
            line.words.push_back(word);
        }
        out.push_back(std::move(line));
    }
    lines = std::move(out);
    return true;
}

bool ParseAssetNumber(const std::string& word, unsigned limit, unsigned& value) {
    const char* b = word.data();
    const char* e = b + word.size();
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        b += 2;
        base = 16;
    }
    if (b == e) return false;
    unsigned v = 0;
    auto [p, ec] = std::from_chars(b, e, v, base);
    if (ec != std::errc() || p != e || v > limit) return false;
    value = v;
    return true;
}

bool ReadAssetLines(const std::filesystem::path& path, std::vector<AssetLine>& lines, std::string& error) {
    std::string text;
    if (!ReadTextFile(path, text)) {
        error = "cannot read " + path.string();
        return false;
    }
    return SplitAssetLines(path, text, lines, error);
}

}  // namespace orvalink::gen
