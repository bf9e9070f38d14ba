// The code picker's table from arbitrary bytes: every accepted record keeps
// the field limits, packs to its fixed layout, and the lists built from the
// records hold each name once with codes of four characters.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "editors/core/PreCodeTable.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    int skipped = 0;
    const auto records = ParseCodeTable(bytes, &skipped);
    if (size < kMinCodeTableBytes || size > kMaxCodeTableBytes) Check(records.empty());
    for (const BrandRecord& r : records) {
        Check(!r.codes.empty() && r.codes.size() <= kMaxBrandCodes);
        Check(r.deviceType.size() <= kTypeColumns && r.brand.size() <= kBrandColumns);
        Check(PackBrandRecord(r).size() == 2 + kRecordTypeBytes + kRecordBrandBytes + 1 + 2 * r.codes.size());
    }
    const auto types = DeviceTypesOf(records);
    for (size_t i = 0; i < types.size(); ++i)
        for (size_t j = i + 1; j < types.size(); ++j) Check(!SameTextIgnoringCase(types[i], types[j]));
    for (const std::string& type : types) {
        for (const std::string& brand : BrandsOf(records, type)) {
            const auto texts = CodeTextsOf(records, type, brand);
            Check(!texts.empty());
            for (const std::string& t : texts) Check(t.size() == 4);
        }
    }
    // A single line taken as it is.
    BrandRecord one;
    if (ParseCodeTableLine(std::string_view(reinterpret_cast<const char*>(data), size), one))
        Check(size > kShortestSkippedLine && !one.codes.empty());
    return 0;
}
