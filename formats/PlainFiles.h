// The plain files: memory bytes as they are, with no header, checksum or
// scrambling. ".mcf" holds a flash image (the older remotes' 262144 bytes,
// or the memory image byte for byte), ".sdc" the pre-programmed code region
// of an older flash image, ".mod" one module of an older remote:
//
//   offset  size  field
//   0       128   record table: 64 little-endian words, 0..55 used; the
//                 block number of record i (at most 1200), 0xFFFF for none
//   128     1     module byte A (below 0x80 in a valid file)
//   129     1     module byte B
//   130     4     module field C
//   134     56    module field D
//   190     2     reserved (0)
//   192     L     record area: 8-byte blocks; record i starts at block
//                 (its number), its first byte is its length in blocks
//
// A module file is 9 to 10000 bytes long.
//
// Also the whole-file helpers every writer of plain, security and X files
// uses, and the backup rule: before a file P is replaced, P is renamed to
// P's base name + ".BAK" in P's own folder, unless that name is taken, in
// which case P is simply replaced. "a.mcf" and "a.sdc" share "a.BAK".
//
// Every operation returns an outcome and never throws or shows anything:
// the windows show the outcome's message. Saves go through ReplaceFileBytes
// (written beside the target, then renamed over it); when a save fails after
// the backup was made, the backup is renamed back, so the old file stays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace orvalink {

class TTiFlashFm;

inline constexpr size_t kOlderFlashBytes = 262144;  // 0x40000
inline constexpr size_t kModuleHeaderBytes = 192;
inline constexpr size_t kModuleAreaBytes = 9808;
inline constexpr size_t kModuleMinBytes = 9;
inline constexpr size_t kModuleMaxBytes = kModuleHeaderBytes + kModuleAreaBytes;  // 10000
inline constexpr int kModuleTableEntries = 64;
inline constexpr int kModuleUsedEntries = 56;
inline constexpr uint16_t kModuleMaxBlock = 1200;
inline constexpr uint16_t kNoRecord = 0xFFFF;
inline constexpr size_t kIrccMaxBytes = 0xFFFF;  // its length is kept in 16 bits

inline constexpr char kBackupExtension[] = ".BAK";

// The system's texts; every one of them is shown with the caption "File Error"
// except the module copy error.
inline constexpr char kFileErrorCaption[] = "File Error";
inline constexpr char kCantOpenFilesText[] = "Can't Open the Files.";
inline constexpr char kCantSaveFilesText[] = "Can't Saveing the files !";
inline constexpr char kCantReadPlainText[] =
    "Can't perform one of the following file operations: Open, Seek, Read, Close.";
inline constexpr char kCantWritePlainText[] =
    "Can't perform one of the following file operations: Open, Create Write, Close.";
// Our own texts, for refusals the system never made.
inline constexpr char kModuleTooLargeText[] =
    "The module's records do not fit its 9808-byte record area.\nNothing was written.";
inline constexpr char kModuleBadBlockText[] =
    "The module names a record block above 1200.\nNothing was written.";
inline constexpr char kCodeRegionText[] =
    "The code region lies outside the flash image.\nNothing was written.";
inline constexpr char kWrongImageSizeText[] =
    "The file is not as long as the memory image.\nNothing was loaded.";
inline constexpr char kNoImageText[] = "There is no memory image to save.";

// The older flash image and its pre-programmed code region [codeStart, codeEnd).
struct OlderFlash {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kOlderFlashBytes, 0xFF);
    uint32_t codeStart = 0;
    uint32_t codeEnd = 0;
};

// The in-memory module: the 192 header bytes as in the file and the record
// area (kModuleAreaBytes, the part the file did not fill is 0).
struct ModuleRecord {
    std::array<uint8_t, kModuleHeaderBytes> header{};
    std::vector<uint8_t> area = std::vector<uint8_t>(kModuleAreaBytes, 0);

    uint16_t Entry(int i) const { return uint16_t(header[size_t(2 * i)] | header[size_t(2 * i + 1)] << 8); }
    void SetEntry(int i, uint16_t block) {
        header[size_t(2 * i)] = uint8_t(block);
        header[size_t(2 * i + 1)] = uint8_t(block >> 8);
    }
    uint8_t ByteA() const { return header[128]; }
};

enum class PlainFileResult {
    Ok,
    Missing,         // ReadWholeFile: no such file; nothing is shown
    ReadFailed,      // the file could not be read (or is too long for its reader)
    WriteFailed,     // the file could not be written; the old one is kept
    BadModule,       // ParseMod: wrong length, byte A 0x80 or more, or a
                     // record past the end; nothing is shown
    ModuleTooLarge,  // WriteMod: records past the record area (our text)
    BadBlock,        // WriteMod: a block number above 1200 (our text)
    BadCodeRegion,   // WriteSdc: the region is not inside the image (our text)
    WrongSize,       // LoadImageFile: not the image's length (our text)
    NoImage,         // LoadImageFile, SaveImageFile: no memory image (our text)
    BadSecurityFile, // a security file's header, length, kind or checksum is
                     // wrong, or a kind above 2 is to be written; nothing is shown
    TooLarge,        // the data do not fit a security file (our text)
};

struct PlainFileOutcome {
    PlainFileResult kind = PlainFileResult::Ok;
    std::string message;  // the text to show; empty when nothing is shown
    std::string caption;  // its caption
    std::string why;      // the file layer's reason, when it has one
    std::filesystem::path path;    // the file read or written
    std::filesystem::path backup;  // the ".BAK" made, empty when none was
    bool Ok() const { return kind == PlainFileResult::Ok; }
};

// The backup name of `path`: its folder / its base name + ".BAK".
std::filesystem::path BackupPathOf(const std::filesystem::path& path);

// The backup rule on `backupOf`, then `bytes` written at `target`; a failed
// write puts the backup back and gives `failText` as the message.
PlainFileOutcome WriteWithBackup(const std::filesystem::path& backupOf, const std::filesystem::path& target,
                                 std::span<const uint8_t> bytes, const char* failText);

// `path` with its extension replaced by `extension` (".mcf").
std::filesystem::path WithExtension(const std::filesystem::path& path, const char* extension);

// Reads the whole file into `bytes` (at most maxBytes). A missing file is
// Missing with no message; other failures "Can't Open the Files.".
PlainFileOutcome ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                               uint64_t maxBytes);
// Applies the backup rule and writes; failure "Can't Saveing the files !".
PlainFileOutcome WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The memory image from a file as long as the image, and back.
PlainFileOutcome LoadImageFile(const std::filesystem::path& path, TTiFlashFm& flash);
PlainFileOutcome SaveImageFile(const std::filesystem::path& path, const TTiFlashFm& flash);

// Like ReadWholeFile, but a missing file is a failure with the message too.
PlainFileOutcome ReadPlainFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                               uint64_t maxBytes);
PlainFileOutcome WritePlainFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// ReadPlainFile for files whose length is kept in 16 bits (at most 65535 bytes).
PlainFileOutcome ReadIrccFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes);

// The extension becomes ".mcf" (".sdc"), the backup rule applies to that
// name, then the 262144 bytes (the code region) are written.
PlainFileOutcome WriteMcf(const std::filesystem::path& path, const OlderFlash& flash);
PlainFileOutcome WriteSdc(const std::filesystem::path& path, const OlderFlash& flash);

// The length L of the record area a module file carries: 8 times the first
// byte of every used record. False when a used entry names a block above
// 1200 (tooLarge false) or the records run past the record area (tooLarge true).
bool ModuleAreaLength(const ModuleRecord& module, size_t& length, bool& tooLarge);
// The file bytes of a module (192 + L); false as for ModuleAreaLength.
bool ModuleFileBytes(const ModuleRecord& module, std::vector<uint8_t>& bytes);
// Refuses a module that does not fit before touching any file; then the
// extension becomes ".mod", the backup rule applies to that name, and
// 192 + L bytes are written there (the file given, "x.smod", is untouched).
PlainFileOutcome WriteMod(const std::filesystem::path& path, const ModuleRecord& module);
// Accepts 9 to 10000 bytes whose module byte A is below 0x80 and whose used
// records lie wholly inside the bytes given; `module` is untouched otherwise.
// In a file shorter than 192 bytes the missing table words are "none".
PlainFileOutcome ParseMod(std::span<const uint8_t> bytes, ModuleRecord& module);

}  // namespace orvalink
