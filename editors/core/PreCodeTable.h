// The pre-programmed code table of dev_model.dll and the choices the code
// picker offers from it: device types, the brands of a type, the code numbers
// of a brand.
//
// The table is plain text of CR LF lines in fixed columns: 16 characters of
// device type, 30 of brand name, then the code numbers in 6-character fields
// ("1152, ") of which the last is cut to 4. Lines that break a rule are left
// out; a table of the wrong size gives nothing at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

// The code table's resource in dev_model.dll (raw data).
inline constexpr uint16_t kCodeTableResource = 0x0BB8;
inline constexpr size_t kMinCodeTableBytes = 101;
inline constexpr size_t kMaxCodeTableBytes = 199999;

// Column widths of a line.
inline constexpr size_t kTypeColumns = 16;
inline constexpr size_t kBrandColumns = 30;
inline constexpr size_t kCodeFieldColumns = 6;
// Lines of this many characters or fewer carry no codes.
inline constexpr size_t kShortestSkippedLine = 50;
inline constexpr size_t kMinCodePart = 4;
inline constexpr size_t kMaxCodePart = 500;

// Sizes of the brand record's fields.
inline constexpr size_t kRecordTypeBytes = 20;
inline constexpr size_t kRecordBrandBytes = 30;
inline constexpr size_t kMaxBrandCodes = 83;

// Code numbers from this one up are no choice.
inline constexpr int kPreCodeLimit = 4000;
inline constexpr int kNoPreCode = -1;

// One accepted line.
struct BrandRecord {
    std::string deviceType;  // trimmed
    std::string brand;       // trimmed
    std::vector<uint16_t> codes;
    bool operator==(const BrandRecord&) const = default;
};

// The record as the picker keeps it: 0, 255, the device type (20 bytes, zero
// padded), the brand (30 bytes, zero padded), the number of codes, then each
// code number low byte first.
std::vector<uint8_t> PackBrandRecord(const BrandRecord& record);

// One line (without its CR LF) into a record; false when the line breaks a
// rule, with `record` untouched.
bool ParseCodeTableLine(std::string_view line, BrandRecord& record);

// The whole resource: an empty list when its size is outside
// kMinCodeTableBytes..kMaxCodeTableBytes; `skipped` (when given) counts the
// lines left out.
std::vector<BrandRecord> ParseCodeTable(std::span<const uint8_t> resource, int* skipped = nullptr);

// Reads the table out of the library at `libraryPath`: false when the
// library cannot be opened. A library without the table, or with one of the
// wrong size, gives an empty list.
bool LoadCodeTable(const std::string& libraryPath, std::vector<BrandRecord>& records);

// Equal ignoring ASCII case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// The distinct device types in file order (a type differing only in case
// from one already listed is not listed again).
std::vector<std::string> DeviceTypesOf(const std::vector<BrandRecord>& records);
// The brands of a device type (compared ignoring case), each once ignoring
// case, sorted as the brand box sorts them (ignoring case).
std::vector<std::string> BrandsOf(const std::vector<BrandRecord>& records, std::string_view deviceType);
// The codes of the first record of that type and brand (both ignoring case),
// as the code list shows them: "%04d" cut to 4 characters. Empty when none
// matches.
std::vector<std::string> CodeTextsOf(const std::vector<BrandRecord>& records, std::string_view deviceType,
                                     std::string_view brand);
// A code as the code list shows it.
std::string CodeText(uint16_t code);

// What OK makes of the "Pre-programmed code no:" text: its number when it
// reads as one below kPreCodeLimit, else kNoPreCode.
int ChosenPreCode(std::string_view resultText);

}  // namespace orvalink
