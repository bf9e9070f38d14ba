// The V file's header record: the program's document container, its
// fields, kinds and version texts.
//
// A V file is a header of fixed layout (little-endian, no padding) followed
// by a zip archive with one entry, the payload, encrypted with a password
// that the header carries in scrambled form:
//
//   offset  size    field
//   0       4       checksum: byte sum of everything from offset 4 to the end
//   4       4       file length
//   8       4       payload length (after extraction)
//   12      2       reserved (0)
//   14      30      model name (file-name form), zero-filled
//   44      8       extension text ("vmcf", "vmcu", "vmod", "virc"), zero-filled
//   52      2       kind code (100..103)
//   54      2       model code
//   56      2       version word (high byte major, low byte minor)
//   58      1       reserved (0)
//   59      1       reserved (0)
//   60      64      password block, bytes 1.. scrambled
//   124     1       name form (1..3)
//   125     2       name count N (1..1024; above 2 only with name form 3)
//   127     30 * N  names; name 0 is the archive entry's name
//   127+30N ...     the archive
//
// Files we write have name form 1 and one name, so their header is 157 bytes.
//
// Every operation returns a success flag and never throws. A refused load
// leaves the caller's payload and header untouched; a save never leaves a
// half-written file behind (it writes beside the target and renames).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

// Kind codes and the payloads they carry.
inline constexpr uint16_t kKindVmcf = 100;  // a whole memory image
inline constexpr uint16_t kKindVmcu = 101;  // MCU firmware
inline constexpr uint16_t kKindVmod = 102;  // one packed device bundle
inline constexpr uint16_t kKindVirc = 103;  // named, never written or read by a command

inline constexpr size_t kVModelNameLength = 30;
inline constexpr size_t kVExtensionLength = 8;
inline constexpr size_t kVPasswordBlockLength = 64;
inline constexpr size_t kVPasswordLength = 32;
inline constexpr size_t kVNameLength = 30;
inline constexpr uint16_t kVMaxNames = 1024;
inline constexpr size_t kVFixedHeaderLength = 127;  // up to the names
inline constexpr size_t kVWrittenHeaderLength = kVFixedHeaderLength + kVNameLength;  // 157
// The largest device bundle a model file may carry.
inline constexpr size_t kMaxModulePayload = 10240;
// The largest MCU program (of the 5100 family).
inline constexpr size_t kMaxMcuPayload = 65536;
// The largest memory image: the 8192 pages of the code-library tool's variant.
inline constexpr size_t kMaxImagePayload = 8192 * 264;

using VNameField = std::array<char, kVNameLength>;

struct VFileHeader {
    uint32_t checksum = 0;
    uint32_t fileLength = 0;
    uint32_t payloadLength = 0;
    uint16_t reserved0 = 0;
    std::array<char, kVModelNameLength> modelName{};
    std::array<char, kVExtensionLength> extensionText{};
    uint16_t kindCode = 0;
    uint16_t modelCode = 0;
    uint16_t versionWord = 0;
    uint8_t reserved1 = 0;
    uint8_t reserved2 = 0;
    std::array<uint8_t, kVPasswordBlockLength> passwordBlock{};
    uint8_t nameForm = 0;
    uint16_t nameCount = 0;
    std::vector<VNameField> names;  // nameCount names (at most kVMaxNames)
};

// The text of a zero-filled field (up to its first zero byte), and setting
// one (zero-filled first; a longer text is cut).
std::string FieldText(std::span<const char> field);
void SetFieldText(std::span<char> field, std::string_view text);

// Gives the header name form 1 and the one name `name` (name 0).
void SetSingleName(VFileHeader& header, std::string_view name);
// The archive entry's name: name 0 without trailing zero bytes and blanks
// around it (empty when there is no name).
std::string EntryNameOf(const VFileHeader& header);

// 127 + 30 * nameCount.
size_t VFileHeaderLength(uint16_t nameCount);
// Whether name form and count are within their ranges.
bool VFileHeaderRangesOk(uint8_t nameForm, uint16_t nameCount);
// Reads the header at the start of `bytes`. Fails when the ranges are wrong
// or the bytes end before the last name.
bool VFileHeaderFromBytes(std::span<const uint8_t> bytes, VFileHeader& header);
// The header's 127 + 30 * N bytes, field by field; fails when the ranges are
// wrong or fewer than nameCount names are held.
bool VFileHeaderToBytes(const VFileHeader& header, std::vector<uint8_t>& bytes);

// Version words: 0x0105 shows as "1.05" and names files "_v1_05".
std::string VersionText(uint16_t versionWord);
std::string VersionSuffix(uint16_t versionWord);

// A version typed by the user ("1.05"): trimmed, split at the last point,
// both sides decimal (each at most 255).
enum class TypedVersion {
    Ok,
    NotAVersion,  // no point, or the point is last
    NotANumber,   // a side that is not a decimal number of 0..255
};
TypedVersion ParseTypedVersion(std::string_view text, uint16_t& versionWord);

// "vmcf", "vmcu", "vmod", "virc" for kind codes 100..103; empty otherwise.
std::string_view KindExtension(uint16_t kindCode);
// Sets kind code, model code, version word, the catalogue name of the model
// code and the kind's extension text. Fails (header untouched) for a kind
// outside 100..103 or a model code the catalogue does not know.
bool FillVFileHeader(uint16_t kindCode, uint16_t modelCode, uint16_t versionWord, VFileHeader& header);

// The largest payload a file of the kind can hold: a memory image for 100,
// an MCU program for 101, the flat form of a full device bundle for 102
// (Import device takes only up to kMaxModulePayload of it); kind 103 and
// kinds nobody writes are held to the largest image.
size_t MaxPayloadOfKind(uint16_t kindCode);

}  // namespace orvalink
