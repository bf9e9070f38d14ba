#include "formats/IrTextLines.h"

#include <cstdio>

#include "formats/IrSignalFiles.h"

namespace orvalink::irtext {

std::string At(std::string_view fileName, size_t line, std::string_view why) {
    std::string out(fileName);
    out += ':';
    out += std::to_string(line);
    out += ": ";
    out += why;
    return out;
}

bool TextFits(std::string_view text, std::string_view fileName, std::string& error) {
    if (text.size() <= kIrFileMaxBytes) return true;
    error = std::string(fileName) + ": the file is longer than " + std::to_string(kIrFileMaxBytes) + " bytes";
    return false;
}

bool LineReader::Next(std::string_view& line, std::string& error) {
    if (failed_ || pos_ >= text_.size()) return false;
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
    ++number_;
    if (end - pos_ > kIrFileMaxLineBytes) {
        failed_ = true;
        error = At(fileName_, number_, "the line is longer than " + std::to_string(kIrFileMaxLineBytes) + " bytes");
        return false;
    }
    line = text_.substr(pos_, end - pos_);
    if (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ++end;
    pos_ = end + 1;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Words(std::string_view line, char extraSeparator) {
    std::vector<std::string_view> words;
    auto separates = [&](char c) { return IsBlank(c) || (extraSeparator && c == extraSeparator); };
    size_t i = 0;
    while (i < line.size()) {
        if (separates(line[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < line.size() && !separates(line[end])) ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? char(a[i] - 'A' + 'a') : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? char(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

bool ParseDecimal(std::string_view s, uint64_t max, uint64_t& value) {
    if (s.empty()) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        const unsigned d = unsigned(c - '0');
        if (v > (max - d) / 10) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

bool ParseCNumber(std::string_view s, uint64_t& value) {
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 1 && s[0] == '0') {
        base = 8;
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    uint64_t v = 0;
    for (char c : s) {
        unsigned d;
        if (c >= '0' && c <= '9') {
            d = unsigned(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            d = unsigned(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            d = unsigned(c - 'A' + 10);
        } else {
            return false;
        }
        if (d >= base) return false;
        if (v > (UINT64_MAX - d) / base) return false;
        v = v * base + d;
    }
    value = v;
    return true;
}

bool IsProntoWord(std::string_view s) {
    if (s.size() != 4) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

std::string PrintableName(std::string_view name, size_t index) {
    std::string out;
    for (char c : name) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    out = std::string(Trim(out));
    if (out.empty()) return "Signal " + std::to_string(index + 1);
    if (out[0] == '#') out[0] = '_';
    return out;
}

std::string Hex(uint64_t v) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace orvalink::irtext
