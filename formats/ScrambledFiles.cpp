#include "formats/ScrambledFiles.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "base/ByteIo.h"
#include "formats/FileIo.h"

namespace orvalink {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChecksumFrom = 8;

}  // namespace

uint32_t ScrambledChecksum(std::span<const uint8_t> file) {
    uint32_t sum = 0;
    for (size_t i = kChecksumFrom; i < file.size(); ++i) sum += file[i];
    return sum;
}

PlainFileOutcome SilentFileOutcome(PlainFileResult kind, const fs::path& path) {
    PlainFileOutcome out;
    out.kind = kind;
    out.path = path;
    return out;
}

PlainFileResult AssembleScrambledFile(const ScrambledFormat& format, const ScrambledHeader& header,
                                      std::span<const uint8_t> scrambled, std::vector<uint8_t>& file) {
    if (!format.KnowsKind(header.kind)) return PlainFileResult::BadSecurityFile;
    if (scrambled.size() >= kScrambledFileLimit - kScrambledHeaderBytes) return PlainFileResult::TooLarge;
    const size_t length = kScrambledHeaderBytes + scrambled.size();
    std::vector<uint8_t> out(length, 0);
    ByteWriter w(std::span<uint8_t>(out.data(), kScrambledHeaderBytes));
    w.U32(0);  // checksum, below
    w.U32(uint32_t(length));
    w.U16(0);
    w.Bytes(header.modelText.data(), header.modelText.size());
    w.Bytes(reinterpret_cast<const uint8_t*>(format.Extension(header.kind)), 4);
    w.U8(header.kind);
    w.Bytes(header.own.data(), header.own.size());
    if (!w.ok()) return PlainFileResult::BadSecurityFile;
    std::copy(scrambled.begin(), scrambled.end(), out.begin() + kScrambledHeaderBytes);
    ByteWriter(std::span<uint8_t>(out.data(), 4)).U32(ScrambledChecksum(out));
    file = std::move(out);
    return PlainFileResult::Ok;
}

bool SplitScrambledFile(const ScrambledFormat& format, std::span<const uint8_t> file, ScrambledHeader& header,
                        std::span<const uint8_t>& body) {
    // Shorter than its header, it has no fields to check.
    if (file.size() < kScrambledHeaderBytes || file.size() >= kScrambledFileLimit) return false;
    ByteReader r(file);
    ScrambledHeader h;
    h.checksum = r.U32();
    h.fileLength = r.U32();
    r.Skip(2);
    r.Bytes(h.modelText.data(), h.modelText.size());
    r.Skip(4);
    h.kind = r.U8();
    r.Bytes(h.own.data(), h.own.size());
    if (!r.ok()) return false;
    // The length field must be the file's own length before the data are touched.
    if (h.fileLength != file.size() || h.checksum != ScrambledChecksum(file)) return false;
    // The callers choose by the kind, so one the format does not know is refused too.
    if (!format.KnowsKind(h.kind)) return false;
    header = h;
    body = file.subspan(kScrambledHeaderBytes);
    return true;
}

PlainFileOutcome ReadScrambledFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::string why;
    std::vector<uint8_t> read;
    if (!ReadFileBytes(path, read, kScrambledFileLimit - 1, &why)) {
        // Only a regular file has a length to judge; anything else is a read failure.
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) {
            const auto size = fs::file_size(path, ec);
            if (!ec && size >= kScrambledFileLimit) return SilentFileOutcome(PlainFileResult::BadSecurityFile, path);
        }
        PlainFileOutcome out = SilentFileOutcome(PlainFileResult::ReadFailed, path);
        out.message = kCantReadPlainText;
        out.caption = kFileErrorCaption;
        out.why = why;
        return out;
    }
    bytes = std::move(read);
    return SilentFileOutcome(PlainFileResult::Ok, path);
}

PlainFileOutcome WriteScrambledFile(const ScrambledFormat& format, const fs::path& path, uint8_t kind,
                                    const std::function<PlainFileResult(std::vector<uint8_t>&)>& build) {
    const fs::path target =
        format.KnowsKind(kind) ? WithExtension(path, (std::string(".") + format.Extension(kind)).c_str()) : path;
    std::vector<uint8_t> file;
    const PlainFileResult built = build(file);
    if (built != PlainFileResult::Ok) {
        PlainFileOutcome out = SilentFileOutcome(built, target);
        if (built == PlainFileResult::TooLarge) out.message = format.tooLargeText;
        return out;
    }
    return WriteWithBackup(target, target, file, kCantWritePlainText);
}

}  // namespace orvalink
