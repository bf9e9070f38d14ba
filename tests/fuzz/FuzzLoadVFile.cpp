// Fuzz target of the V-file loader.
//
// The first input byte picks how the rest is fed:
//   0: as a whole file;
//   1: as the archive of a header we build around it, with the right file
//      length and checksum, so the input reaches the zip reader;
//   2: as a list of (offset, xor) changes to a sound file, after which the
//      file length and checksum are made right again, so libzip sees archives
//      that are almost valid;
//   3: like 2, but the checksum is left as it falls.
// Inputs of the driver's random kind mostly fall into 0; short ones of any
// first byte are wrapped as in 1.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/ByteIo.h"
#include "formats/Flashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

namespace {

using namespace orvalink;

VFileHeader SampleHeader() {
    VFileHeader h;
    FillVFileHeader(kKindVmcf, 2000, 0x0105, h);
    SetSingleName(h, "QM-5100_");
    return h;
}

void FixLengthAndChecksum(std::vector<uint8_t>& file) {
    if (file.size() < 8) return;
    ByteWriter w(file);
    w.Seek(4);
    w.U32(uint32_t(file.size()));
    w.Seek(0);
    w.U32(Sum32(std::span<const uint8_t>(file).subspan(4)));
}

// One sound file, made once, so every run sees the same bytes.
const std::vector<uint8_t>& SoundFile() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> payload(3000);
        Pcg32Random random(5);
        for (size_t i = 0; i < payload.size(); ++i) payload[i] = (i / 64) % 3 ? 0xFF : uint8_t(random.Next());
        VFileHeader h = SampleHeader();
        FixedClock clock;
        Pcg32Random seeded;
        std::vector<uint8_t> out;
        BuildVFileBytes(payload, h, clock, seeded, out);
        return out;
    }();
    return file;
}

std::vector<uint8_t> WrapAsArchive(std::span<const uint8_t> archive) {
    VFileHeader h = SampleHeader();
    const std::vector<uint8_t>& sound = SoundFile();
    // The password block of the sound file, so an archive taken from it opens.
    ByteReader r(sound);
    r.Seek(60);
    r.Bytes(h.passwordBlock.data(), h.passwordBlock.size());
    // The payload length from the first bytes, kept small.
    ByteReader a(archive);
    h.payloadLength = archive.size() >= 2 ? uint32_t(a.U16()) * 4 : 0;
    std::vector<uint8_t> file;
    VFileHeaderToBytes(h, file);
    file.insert(file.end(), archive.begin(), archive.end());
    FixLengthAndChecksum(file);
    return file;
}

std::vector<uint8_t> ChangedSoundFile(std::span<const uint8_t> changes, bool fix) {
    std::vector<uint8_t> file = SoundFile();
    ByteReader r(changes);
    while (r.remaining() >= 3) {
        const size_t at = r.U16() % (file.size() + 1);
        const uint8_t x = r.U8();
        if (at == file.size()) {
            file.push_back(x);
        } else {
            file[at] ^= x;
        }
    }
    if (r.remaining() == 1) file.resize(file.size() - (r.U8() % 64));
    if (fix) FixLengthAndChecksum(file);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    std::vector<uint8_t> payload;
    VFileHeader header;
    if (input.empty()) {
        LoadVFileFromBytes(input, payload, header);
        return 0;
    }
    const std::span<const uint8_t> rest = input.subspan(1);
    uint8_t mode = input[0] % 4;
    if (size < 160 && mode == 0) mode = 1;
    switch (mode) {
        case 0: LoadVFileFromBytes(input, payload, header); break;
        case 1: LoadVFileFromBytes(WrapAsArchive(rest), payload, header); break;
        case 2: LoadVFileFromBytes(ChangedSoundFile(rest, true), payload, header); break;
        case 3: LoadVFileFromBytes(ChangedSoundFile(rest, false), payload, header); break;
    }
    return 0;
}
