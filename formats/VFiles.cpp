// Loading and saving whole V files.
#include <string>

#include "base/ByteIo.h"
#include "formats/FileIo.h"
#include "formats/Flashut.h"
#include "formats/VFileArchive.h"
#include "image/DeviceBundle.h"

namespace orvalink {

namespace {

// The header with the most names, and the archive of the largest payload
// stored (deflate never grows data by more than a few bytes per block).
constexpr uint64_t kMaxFileLength =
    kVFixedHeaderLength + uint64_t(kVNameLength) * kVMaxNames + 2 * uint64_t(kMaxImagePayload) + (1u << 20);

void Say(std::string* why, std::string text) {
    if (why) *why = std::move(text);
}

}  // namespace

size_t MaxPayloadOfKind(uint16_t kindCode) {
    switch (kindCode) {
        case kKindVmcu: return kMaxMcuPayload;
        case kKindVmod: return kMaxFlatBundleBytes;
        default: return kMaxImagePayload;
    }
}

bool LoadVFileFromBytes(std::span<const uint8_t> file, std::vector<uint8_t>& payload, VFileHeader& header,
                        std::string* why) {
    try {
        // Header fields, name form and count, and names within the file.
        VFileHeader h;
        if (!VFileHeaderFromBytes(file, h)) return false;
        // The file is as long as the header says.
        if (file.size() != h.fileLength) return false;
        // Every byte after the checksum field, header and archive, adds up to it.
        if (Sum32(file.subspan(4)) != h.checksum) return false;

        // Only a file with one name of form 1 holds an archive we can open.
        if (h.nameForm != 1 || h.nameCount != 1) return false;
        const std::string entry = EntryNameOf(h);
        std::string password;
        if (!PasswordOfHeader(h, password)) return false;
        // No kind holds more than its largest image or program: a larger
        // length is refused before a byte is inflated.
        if (h.payloadLength > MaxPayloadOfKind(h.kindCode)) {
            Say(why, "payload length " + std::to_string(h.payloadLength) + " is more than a kind " +
                         std::to_string(h.kindCode) + " file holds (" + std::to_string(MaxPayloadOfKind(h.kindCode)) +
                         " bytes)");
            return false;
        }

        // The archive starts right after the names.
        const std::span<const uint8_t> archive = file.subspan(VFileHeaderLength(h.nameCount));
        std::vector<uint8_t> extracted;
        if (!UnpackSingleEntry(archive, entry, password, h.payloadLength, extracted)) return false;
        if (extracted.size() != h.payloadLength) return false;

        payload = std::move(extracted);
        header = std::move(h);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadVFile(const std::filesystem::path& path, std::vector<uint8_t>& payload, VFileHeader& header,
               std::string* why) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(path, file, kMaxFileLength, why)) return false;
    return LoadVFileFromBytes(file, payload, header, why);
}

bool BuildVFileBytes(std::span<const uint8_t> payload, VFileHeader& header, const Clock& clock, Random& random,
                     std::vector<uint8_t>& file) {
    try {
        if (header.nameForm != 1 || header.nameCount != 1 || header.names.empty()) return false;
        const std::string entry = EntryNameOf(header);
        if (entry.empty()) return false;
        // What we write we can read back.
        if (payload.size() > MaxPayloadOfKind(header.kindCode)) return false;

        VFileHeader h = header;
        h.names.resize(1);
        h.reserved0 = 0;
        h.reserved1 = 0;
        h.reserved2 = 0;
        const auto plain = MakePasswordBlock(clock, random);
        const std::string password = PasswordOfBlock(plain);
        h.passwordBlock = plain;
        if (!ScrambleBlock(h.passwordBlock)) return false;

        std::vector<uint8_t> archive;
        if (!PackEncryptedEntry(entry, password, payload, archive)) return false;

        const size_t headerLength = VFileHeaderLength(h.nameCount);
        if (payload.size() > kMaxFileLength || archive.size() > kMaxFileLength - headerLength) return false;
        h.fileLength = uint32_t(headerLength + archive.size());
        h.payloadLength = uint32_t(payload.size());
        h.checksum = 0;

        std::vector<uint8_t> bytes;
        if (!VFileHeaderToBytes(h, bytes)) return false;
        h.checksum = Sum32(std::span<const uint8_t>(bytes).subspan(4)) + Sum32(archive);
        ByteWriter w(bytes);
        w.U32(h.checksum);
        if (!w.ok()) return false;
        bytes.insert(bytes.end(), archive.begin(), archive.end());

        file = std::move(bytes);
        header = std::move(h);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool SaveVFile(const std::filesystem::path& path, std::span<const uint8_t> payload, VFileHeader& header,
               const Clock& clock, Random& random, std::string* why) {
    try {
        VFileHeader h = header;
        std::vector<uint8_t> file;
        if (!BuildVFileBytes(payload, h, clock, random, file)) {
            Say(why, "the document cannot be made");
            return false;
        }
        if (!ReplaceFileBytes(path, file, why)) return false;
        header = std::move(h);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvalink
