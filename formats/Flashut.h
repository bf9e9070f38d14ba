// V files: the program's document container, and the file dialogs and
// commands built on it.
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
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

class Clock;
class Random;
class UiServices;
class TTiFlashFm;

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

// Scrambling of a block that starts with its count n of 8-byte units; the
// 8n - 1 bytes after the count byte are scrambled in place. Fails (block
// untouched) for n = 0, n > 32 or a block shorter than 8n bytes.
bool ScrambleBlock(std::span<uint8_t> block);
bool UnscrambleBlock(std::span<uint8_t> block);

// A fresh plain password block: byte 0 = 4, bytes 1..31 drawn from `random`
// after seeding it with the clock's seconds, the rest 0.
std::array<uint8_t, kVPasswordBlockLength> MakePasswordBlock(const Clock& clock, Random& random);
// The archive password of an unscrambled block: bytes 0..31, up to the
// first zero byte.
std::string PasswordOfBlock(std::span<const uint8_t> plainBlock);
// Unscrambles a copy of the header's block and gives its password; fails
// when the unit count does not fit the 64 bytes.
bool PasswordOfHeader(const VFileHeader& header, std::string& password);

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

// Reads and checks a whole V file held in memory and extracts its payload.
// A payload length beyond what the kind holds is refused before anything is
// inflated. `why`, when given, says why for the failures that are not a
// plain broken file (unreadable, not a regular file, payload too long).
bool LoadVFileFromBytes(std::span<const uint8_t> file, std::vector<uint8_t>& payload, VFileHeader& header,
                        std::string* why = nullptr);
// The same for the file at `path`.
bool LoadVFile(const std::filesystem::path& path, std::vector<uint8_t>& payload, VFileHeader& header,
               std::string* why = nullptr);

// Builds the bytes of a V file: a new password (seeded with the clock's
// seconds), the archive, the lengths and the checksum. The header must have
// name form 1 and one name, and the payload must fit its kind; on success it
// holds what was written.
bool BuildVFileBytes(std::span<const uint8_t> payload, VFileHeader& header, const Clock& clock, Random& random,
                     std::vector<uint8_t>& file);
// Builds the file and puts it at `path` with ReplaceFileBytes (never half
// written); `why` as for LoadVFile.
bool SaveVFile(const std::filesystem::path& path, std::span<const uint8_t> payload, VFileHeader& header,
               const Clock& clock, Random& random, std::string* why = nullptr);

// The kinds of the open and save dialogs, in table order. The save dialog
// knows every kind but txt.
enum class FileKind {
    smcf, smod, ssdc, mcf, mod, sdc, xirc, ircc, txt,
    xmcf, xmcu, vmcf, vmcu, vmod, virc, sbin,
};

struct FileKindInfo {
    FileKind kind;
    std::string_view filter;     // "Description (*.ext)|*.ext|All Files (*.*)|*.*"
    std::string_view extension;  // the default extension, without the dot
};

std::span<const FileKindInfo> OpenFileKinds();  // 16 kinds
std::span<const FileKindInfo> SaveFileKinds();  // 15 kinds
// The row of a kind; nullptr when the table does not hold it.
const FileKindInfo* OpenFileKind(FileKind kind);
const FileKindInfo* SaveFileKind(FileKind kind);

// Paths as the dialogs and messages show them (UTF-8) and as files are opened.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// The version word a document of the memory image carries: bytes 27224
// (major) and 27225 (minor) for the 5100 family, 15 and 14 for the others.
// 0 when the image is too short to hold it.
uint16_t ImageVersionWord(std::span<const uint8_t> image, uint16_t modelCode);

// The header every document is written with: kind 100, model QM-5100, the
// given version word and the single entry "QM-5100_". False when the
// catalogue does not know the model.
bool FillDocumentHeader(uint16_t versionWord, VFileHeader& header);

// The dialog folder of an initial path: when the path holds a separator
// after its first character, the path itself if it ends with one, else the
// part up to and including its last separator; otherwise empty.
// `endsWithSeparator` tells which case it was.
std::string DialogFolderOf(std::string_view initialPath, bool& endsWithSeparator);

// The file dialogs and the commands that read and write V files for the
// windows. Everything it needs comes through its constructor.
class VFileCommands {
public:
    VFileCommands(UiServices& ui, const Clock& clock, Random& random, std::filesystem::path programFolder,
                  TTiFlashFm& flash);

    // Program folder + separator, and the default paths below it.
    std::string ProgramFolderText() const;
    // The documents' folder. The system writes it "Mcf" and "mcf"; on a
    // file system that tells case apart both mean the one folder that
    // exists under any spelling, and "mcf" is made when there is none.
    std::string DocumentFolder() const;       // mcf/
    std::string DefaultDocumentPath() const;  // mcf/noname.vmcf
    std::string BlankDocumentPath() const;    // bk/default_.vmcf
    std::string ModuleFolder() const;         // tmod/
    std::string DefaultModulePath() const;    // tmod/noname.vmod
    // "noname_" + today's date: the name Save As proposes.
    std::string ProposedDocumentName() const;

    // The open and save dialogs of a file kind. On success `chosen` holds the
    // chosen path; on failure (kind not in the table, Cancel, empty name) it
    // is empty.
    bool PickOpenFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                      std::string& chosen);
    bool PickSaveFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                      std::string& chosen);

    // Asks for the file (with `ask`; an empty path starts at the program
    // folder) or takes `path` as it is, loads it, and reports a load error
    // with "Load V File error ! ...". Succeeds only for model codes of 1000
    // and above; an older model's file is refused silently. `openedPath`, when
    // given, receives the path that was read.
    bool OpenVFile(const std::string& path, std::vector<uint8_t>& payload, VFileHeader& header, FileKind kind,
                   bool ask, std::string* openedPath = nullptr);

    // Writes the memory image as a .vmcf document of model code 2000 (the
    // caller's model code chooses where the version word is read). Without
    // `ask` an existing file at `path` is replaced silently; otherwise the save
    // dialog chooses. `savedPath`, when given, receives the path written.
    bool SaveImageVFile(const std::string& path, uint16_t modelCode, bool ask, std::string* savedPath = nullptr);

    // Writes `data` as a model file of the given kind and model code,
    // version 0, always through the save dialog (`ask` is there for the
    // callers' symmetry; the dialog is shown either way), which proposes
    // `path`. The chosen path gets the kind's extension.
    bool SaveModuleVFile(const std::string& path, std::span<const uint8_t> data, uint16_t kindCode,
                         uint16_t modelCode, bool ask, std::string* savedPath = nullptr);

private:
    bool PickFile(bool save, const std::string& initialPath, const std::string& proposedName, FileKind kind,
                  std::string& chosen);

    UiServices& ui_;
    const Clock& clock_;
    Random& random_;
    std::filesystem::path programFolder_;
    TTiFlashFm& flash_;
};

}  // namespace orvalink
