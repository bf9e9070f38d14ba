#include "editors/core/PreCodeTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/ResourceLibrary.h"

namespace orvalink {

namespace {

// Blanks and control characters off both ends.
std::string_view Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && uint8_t(s[b]) <= ' ') ++b;
    while (e > b && uint8_t(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

char Lower(char c) { return char(std::tolower(uint8_t(c))); }

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

bool ListedIgnoringCase(const std::vector<std::string>& list, std::string_view s) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& x) { return SameTextIgnoringCase(x, s); });
}

}  // namespace

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<uint8_t> PackBrandRecord(const BrandRecord& record) {
    std::vector<uint8_t> out{0, 255};
    auto put = [&out](const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) out.push_back(i < s.size() ? uint8_t(s[i]) : 0);
    };
    put(record.deviceType, kRecordTypeBytes);
    put(record.brand, kRecordBrandBytes);
    const size_t n = std::min(record.codes.size(), kMaxBrandCodes);
    out.push_back(uint8_t(n));
    for (size_t i = 0; i < n; ++i) {
        out.push_back(uint8_t(record.codes[i]));
        out.push_back(uint8_t(record.codes[i] >> 8));
    }
    return out;
}

bool ParseCodeTableLine(std::string_view line, BrandRecord& record) {
    if (line.size() <= kShortestSkippedLine) return false;
    const std::string_view codePart = line.substr(kTypeColumns + kBrandColumns);
    // The code fields are 6 characters each but the last, which is 4.
    if (codePart.size() <= 5 || codePart.size() < kMinCodePart || codePart.size() > kMaxCodePart) return false;
    if ((codePart.size() + 2) % kCodeFieldColumns != 0) return false;
    const size_t fields = (codePart.size() + 2) / kCodeFieldColumns;  // at most 83 within 500 characters
    std::vector<uint16_t> codes;
    for (size_t f = 0; f < fields; ++f) {
        const std::string_view field = Trimmed(codePart.substr(f * kCodeFieldColumns, kCodeFieldColumns));
        uint32_t value = 0;
        int digits = 0;
        for (char c : field) {
            if (c < '0' || c > '9') continue;  // only the digits count
            value = (value * 10 + uint32_t(c - '0')) & 0xFFFF;
            ++digits;
        }
        if (digits == 0) return false;
        codes.push_back(uint16_t(value));
    }
    BrandRecord r;
    r.deviceType = std::string(Trimmed(line.substr(0, kTypeColumns)));
    r.brand = std::string(Trimmed(line.substr(kTypeColumns, kBrandColumns)));
    r.codes = std::move(codes);
    record = std::move(r);
    return true;
}

std::vector<BrandRecord> ParseCodeTable(std::span<const uint8_t> resource, int* skipped) {
    std::vector<BrandRecord> records;
    int left = 0;
    if (resource.size() >= kMinCodeTableBytes && resource.size() <= kMaxCodeTableBytes) {
        const std::string_view text(reinterpret_cast<const char*>(resource.data()), resource.size());
        size_t start = 0;
        // Only text ended by CR LF is a line; a last line without them is not read.
        for (size_t end = text.find("\r\n"); end != std::string_view::npos; end = text.find("\r\n", start)) {
            BrandRecord r;
            if (ParseCodeTableLine(text.substr(start, end - start), r))
                records.push_back(std::move(r));
            else
                ++left;
            start = end + 2;
        }
    }
    if (skipped) *skipped = left;
    return records;
}

bool LoadCodeTable(const std::string& libraryPath, std::vector<BrandRecord>& records) {
    ResourceLibrary library;
    if (!library.Open(libraryPath)) return false;
    std::vector<uint8_t> resource;
    records.clear();
    if (library.ReadRcData(kCodeTableResource, resource)) records = ParseCodeTable(resource);
    return true;
}

std::vector<std::string> DeviceTypesOf(const std::vector<BrandRecord>& records) {
    std::vector<std::string> types;
    for (const BrandRecord& r : records)
        if (!ListedIgnoringCase(types, r.deviceType)) types.push_back(r.deviceType);
    return types;
}

std::vector<std::string> BrandsOf(const std::vector<BrandRecord>& records, std::string_view deviceType) {
    std::vector<std::string> brands;
    for (const BrandRecord& r : records)
        if (SameTextIgnoringCase(r.deviceType, deviceType) && !ListedIgnoringCase(brands, r.brand))
            brands.push_back(r.brand);
    std::stable_sort(brands.begin(), brands.end(), LessIgnoringCase);
    return brands;
}

std::string CodeText(uint16_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", int(code));
    return std::string(text).substr(0, 4);
}

std::vector<std::string> CodeTextsOf(const std::vector<BrandRecord>& records, std::string_view deviceType,
                                     std::string_view brand) {
    std::vector<std::string> texts;
    for (const BrandRecord& r : records) {
        if (!SameTextIgnoringCase(r.deviceType, deviceType) || !SameTextIgnoringCase(r.brand, brand)) continue;
        for (uint16_t c : r.codes) texts.push_back(CodeText(c));
        break;
    }
    return texts;
}

int ChosenPreCode(std::string_view resultText) {
    const std::string_view t = Trimmed(resultText);
    if (t.empty() || t.size() > 9) return kNoPreCode;
    int value = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return kNoPreCode;
        value = value * 10 + (c - '0');
    }
    return value < kPreCodeLimit ? value : kNoPreCode;
}

}  // namespace orvalink
