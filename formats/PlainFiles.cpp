#include "formats/PlainFiles.h"

#include <algorithm>
#include <system_error>

#include "formats/FileIo.h"
#include "image/Tiflashut.h"

namespace orvalink {

namespace fs = std::filesystem;

namespace {

PlainFileOutcome Failed(PlainFileResult kind, const fs::path& path, const char* message,
                        const char* caption = kFileErrorCaption, std::string why = {}) {
    PlainFileOutcome out;
    out.kind = kind;
    out.path = path;
    out.message = message;
    out.caption = message[0] ? caption : "";
    out.why = std::move(why);
    return out;
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

PlainFileOutcome ReadChecked(const fs::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes,
                             const char* failText) {
    std::vector<uint8_t> read;
    std::string why;
    if (!ReadFileBytes(path, read, maxBytes, &why))
        return Failed(PlainFileResult::ReadFailed, path, failText, kFileErrorCaption, why);
    bytes = std::move(read);
    PlainFileOutcome out;
    out.path = path;
    return out;
}

}  // namespace

PlainFileOutcome WriteWithBackup(const fs::path& backupOf, const fs::path& target,
                                std::span<const uint8_t> bytes, const char* failText) {
    PlainFileOutcome out;
    out.path = target;
    fs::path backup;
    if (IsFile(backupOf)) {
        const fs::path candidate = BackupPathOf(backupOf);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) {
            fs::rename(backupOf, candidate, ec);
            if (!ec) backup = candidate;
        }
    }
    std::string why;
    if (!ReplaceFileBytes(target, bytes, &why)) {
        if (!backup.empty()) {
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(backupOf, ec))) fs::rename(backup, backupOf, ec);
        }
        return Failed(PlainFileResult::WriteFailed, target, failText, kFileErrorCaption, why);
    }
    out.backup = backup;
    return out;
}

fs::path BackupPathOf(const fs::path& path) {
    fs::path stem = path.stem();
    stem += kBackupExtension;
    return path.parent_path() / stem;
}

fs::path WithExtension(const fs::path& path, const char* extension) {
    fs::path out = path;
    out.replace_extension(extension);
    return out;
}

PlainFileOutcome ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return Failed(PlainFileResult::Missing, path, "");
    return ReadChecked(path, bytes, maxBytes, kCantOpenFilesText);
}

PlainFileOutcome WriteWholeFile(const fs::path& path, std::span<const uint8_t> bytes) {
    return WriteWithBackup(path, path, bytes, kCantSaveFilesText);
}

PlainFileOutcome LoadImageFile(const fs::path& path, TTiFlashFm& flash) {
    std::span<uint8_t> image = flash.Image();
    if (image.empty()) return Failed(PlainFileResult::NoImage, path, kNoImageText);
    std::vector<uint8_t> bytes;
    PlainFileOutcome out = ReadChecked(path, bytes, image.size(), kCantOpenFilesText);
    if (!out.Ok()) return out;
    // The holder keeps each variant's image at its own length; a file of
    // another length is some other model's image.
    if (bytes.size() != image.size()) return Failed(PlainFileResult::WrongSize, path, kWrongImageSizeText);
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return out;
}

PlainFileOutcome SaveImageFile(const fs::path& path, const TTiFlashFm& flash) {
    std::span<const uint8_t> image = flash.Image();
    if (image.empty()) return Failed(PlainFileResult::NoImage, path, kNoImageText);
    return WriteWithBackup(path, path, image, kCantSaveFilesText);
}

PlainFileOutcome ReadPlainFile(const fs::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    return ReadChecked(path, bytes, maxBytes, kCantReadPlainText);
}

PlainFileOutcome WritePlainFile(const fs::path& path, std::span<const uint8_t> bytes) {
    return WriteWithBackup(path, path, bytes, kCantWritePlainText);
}

PlainFileOutcome ReadIrccFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    return ReadChecked(path, bytes, kIrccMaxBytes, kCantReadPlainText);
}

PlainFileOutcome WriteMcf(const fs::path& path, const OlderFlash& flash) {
    const fs::path target = WithExtension(path, ".mcf");
    if (flash.bytes.size() != kOlderFlashBytes)
        return Failed(PlainFileResult::BadCodeRegion, target, kCodeRegionText);
    return WriteWithBackup(target, target, flash.bytes, kCantWritePlainText);
}

PlainFileOutcome WriteSdc(const fs::path& path, const OlderFlash& flash) {
    const fs::path target = WithExtension(path, ".sdc");
    if (flash.codeStart > flash.codeEnd || flash.codeEnd > flash.bytes.size())
        return Failed(PlainFileResult::BadCodeRegion, target, kCodeRegionText);
    const std::span<const uint8_t> region(flash.bytes.data() + flash.codeStart, flash.codeEnd - flash.codeStart);
    return WriteWithBackup(target, target, region, kCantWritePlainText);
}

bool ModuleAreaLength(const ModuleRecord& module, size_t& length, bool& tooLarge) {
    size_t total = 0;
    tooLarge = false;
    for (int i = 0; i < kModuleUsedEntries; ++i) {
        const uint16_t block = module.Entry(i);
        if (block == kNoRecord) continue;
        if (block > kModuleMaxBlock) return false;
        const size_t at = size_t(block) * 8;
        // Block 1200 starts at 9600, inside the area; the record's own
        // length may still run past it.
        const size_t blocks = at < module.area.size() ? module.area[at] : 0;
        total += blocks * 8;
    }
    if (total > kModuleAreaBytes || total > module.area.size()) {
        tooLarge = true;
        return false;
    }
    length = total;
    return true;
}

bool ModuleFileBytes(const ModuleRecord& module, std::vector<uint8_t>& bytes) {
    size_t length = 0;
    bool tooLarge = false;
    if (!ModuleAreaLength(module, length, tooLarge)) return false;
    std::vector<uint8_t> out(module.header.begin(), module.header.end());
    out[190] = 0;
    out[191] = 0;
    out.insert(out.end(), module.area.begin(), module.area.begin() + std::ptrdiff_t(length));
    bytes = std::move(out);
    return true;
}

PlainFileOutcome WriteMod(const fs::path& path, const ModuleRecord& module) {
    const fs::path target = WithExtension(path, ".mod");
    size_t length = 0;
    bool tooLarge = false;
    if (!ModuleAreaLength(module, length, tooLarge))
        return Failed(tooLarge ? PlainFileResult::ModuleTooLarge : PlainFileResult::BadBlock, target,
                      tooLarge ? kModuleTooLargeText : kModuleBadBlockText);
    std::vector<uint8_t> bytes;
    ModuleFileBytes(module, bytes);
    // The backup is of the file about to be replaced, the ".mod": a security
    // module converted from "x.smod" stays beside it, as ".smcf" and ".ssdc"
    // conversions leave theirs.
    return WriteWithBackup(target, target, bytes, kCantWritePlainText);
}

PlainFileOutcome ParseMod(std::span<const uint8_t> bytes, ModuleRecord& module) {
    if (bytes.size() < kModuleMinBytes || bytes.size() > kModuleMaxBytes || (bytes.size() > 128 && bytes[128] >= 0x80))
        return Failed(PlainFileResult::BadModule, {}, "");
    ModuleRecord parsed;
    // A file shorter than the header leaves the table's missing words
    // "none" and the module bytes 0.
    std::fill_n(parsed.header.begin(), 128, uint8_t(0xFF));
    const size_t head = std::min(bytes.size(), kModuleHeaderBytes);
    std::copy_n(bytes.begin(), head, parsed.header.begin());
    if (bytes.size() > kModuleHeaderBytes)
        std::copy(bytes.begin() + std::ptrdiff_t(kModuleHeaderBytes), bytes.end(), parsed.area.begin());
    // Every used record, with the length its first byte gives, must lie in
    // the bytes the file holds.
    const size_t areaBytes = bytes.size() > kModuleHeaderBytes ? bytes.size() - kModuleHeaderBytes : 0;
    for (int i = 0; i < kModuleUsedEntries; ++i) {
        const uint16_t block = parsed.Entry(i);
        if (block == kNoRecord) continue;
        const size_t at = size_t(block) * 8;
        if (block > kModuleMaxBlock || at >= areaBytes || at + size_t(parsed.area[at]) * 8 > areaBytes)
            return Failed(PlainFileResult::BadModule, {}, "");
    }
    module = std::move(parsed);
    return {};
}

}  // namespace orvalink
