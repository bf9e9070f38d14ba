// Broken V files, each named after its one fault. The same list makes the
// in-memory refusal cases and, once, the files of tests/data/vfile-broken/.
// Every file but the fault is as the program writes it: where a fault does
// not concern them, the file length and checksum are made right, so the
// named check is the one that has to refuse it.
#pragma once

#include <zip.h>

#include <string>
#include <vector>

#include "formats/VFileTestSupport.h"
#include "image/DeviceBundle.h"

namespace orvalink::testing {

struct BrokenVFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// An archive made by libzip with the given entries, all encrypted with `password`.
inline std::vector<uint8_t> ZipWithEntries(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
                                           const std::string& password) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* za = zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_source_keep(target);
    for (const auto& [name, data] : entries) {
        zip_source_t* s = zip_source_buffer(za, data.data(), data.size(), 0);
        zip_int64_t index = zip_file_add(za, name.c_str(), s, 0);
        zip_file_set_encryption(za, zip_uint64_t(index), ZIP_EM_TRAD_PKWARE, password.c_str());
    }
    zip_close(za);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(target, &st);
    std::vector<uint8_t> out(size_t(st.size));
    zip_source_open(target);
    zip_source_read(target, out.data(), out.size());
    zip_source_close(target);
    zip_source_free(target);
    zip_error_fini(&error);
    return out;
}

inline std::vector<BrokenVFile> MakeBrokenVFiles() {
    const std::vector<uint8_t> payload = ImageLikePayload(4096, 12);
    const VFileHeader header = Qm5100Header(kKindVmcf, 0x0105);
    const std::vector<uint8_t> good = BuildFile(payload, header);
    const std::string password = PasswordOfFile(good);
    const std::vector<uint8_t> archive = ArchiveOf(good);
    const size_t archiveAt = kVWrittenHeaderLength;

    std::vector<BrokenVFile> out;
    auto add = [&out](std::string name, std::vector<uint8_t> bytes) { out.push_back({std::move(name), std::move(bytes)}); };
    // The good file with one change; `fix` makes length and checksum agree again.
    auto changed = [&good](auto&& change, bool fix) {
        std::vector<uint8_t> b = good;
        change(b);
        if (fix) FixLengthAndChecksum(b);
        return b;
    };

    // Too short for a header at all.
    add("empty-file.vmcf", {});
    add("shorter-than-header.vmcf", std::vector<uint8_t>(good.begin(), good.begin() + 100));
    add("header-only.vmcf", changed([](auto& b) { b.resize(kVWrittenHeaderLength); }, true));

    // Name form and count out of range.
    add("name-count-zero.vmcf", changed([](auto& b) { PutU16(b, kAtNameCount, 0); }, true));
    add("name-count-1025.vmcf", changed([](auto& b) { PutU16(b, kAtNameCount, 1025); PutU8(b, kAtNameForm, 3); }, true));
    add("name-count-3-with-form-1.vmcf", changed([](auto& b) { PutU16(b, kAtNameCount, 3); }, true));
    add("name-form-zero.vmcf", changed([](auto& b) { PutU8(b, kAtNameForm, 0); }, true));
    add("name-form-4.vmcf", changed([](auto& b) { PutU8(b, kAtNameForm, 4); }, true));
    add("names-past-end.vmcf", changed([](auto& b) { PutU8(b, kAtNameForm, 3); PutU16(b, kAtNameCount, 1024); }, true));

    // File length.
    add("file-one-byte-longer.vmcf", changed([](auto& b) { b.push_back(0); }, false));
    add("file-one-byte-shorter.vmcf", changed([](auto& b) { b.pop_back(); }, false));

    // Checksum.
    add("checksum-off-by-one.vmcf", changed([](auto& b) { PutU32(b, kAtChecksum, GetU32(b, kAtChecksum) + 1); }, false));
    add("header-byte-changed.vmcf", changed([](auto& b) { b[kAtVersion] ^= 0x01; }, false));
    add("archive-byte-changed.vmcf", changed([&](auto& b) { b[archiveAt + archive.size() / 2] ^= 0x20; }, false));

    // Good header and checksum, but not a file with one name of form 1.
    add("name-form-2.vmcf", changed([](auto& b) { PutU8(b, kAtNameForm, 2); }, true));
    add("name-count-2.vmcf", changed([](auto& b) {
            PutU16(b, kAtNameCount, 2);
            b.insert(b.begin() + kAtNames + kVNameLength, b.begin() + kAtNames, b.begin() + kAtNames + kVNameLength);
        }, true));
    add("name-form-3-two-names.vmcf", changed([](auto& b) {
            PutU8(b, kAtNameForm, 3);
            PutU16(b, kAtNameCount, 2);
            b.insert(b.begin() + kAtNames + kVNameLength, b.begin() + kAtNames, b.begin() + kAtNames + kVNameLength);
        }, true));

    // Password block.
    add("password-units-zero.vmcf", changed([](auto& b) { b[kAtPassword] = 0; }, true));
    add("password-units-nine.vmcf", changed([](auto& b) { b[kAtPassword] = 9; }, true));
    {
        std::string other = password;
        other[5] = other[5] == 'x' ? 'y' : 'x';
        other[17] = other[17] == 'Q' ? 'R' : 'Q';
        add("wrong-password.vmcf", WrapArchive(header, other, uint32_t(payload.size()), archive));
    }

    // Payload length against the entry.
    add("payload-length-one-more.vmcf",
        changed([&](auto& b) { PutU32(b, kAtPayloadLength, uint32_t(payload.size() + 1)); }, true));
    add("payload-length-one-less.vmcf",
        changed([&](auto& b) { PutU32(b, kAtPayloadLength, uint32_t(payload.size() - 1)); }, true));
    {
        // A megabyte of zeros that the header says is 16 bytes.
        const std::vector<uint8_t> zeros(1 << 20, 0);
        add("entry-larger-than-payload.vmcf",
            WrapArchive(header, password, 16, ZipWithEntries({{"QM-5100_", zeros}}, password)));
    }

    {
        // A module whose header and entry agree on a length no device bundle has.
        const std::vector<uint8_t> zeros(kMaxFlatBundleBytes + 1, 0);
        add("payload-length-beyond-its-kind.vmod",
            WrapArchive(Qm5100Header(kKindVmod, 0), password, uint32_t(zeros.size()),
                        ZipWithEntries({{"QM-5100_", zeros}}, password)));
    }

    // Entry names and counts.
    {
        VFileHeader other = header;
        SetSingleName(other, "QM-4600_");
        add("entry-name-differs.vmcf", WrapArchive(other, password, uint32_t(payload.size()), archive));
        SetSingleName(other, "   ");
        add("entry-name-blank.vmcf", WrapArchive(other, password, uint32_t(payload.size()), archive));
    }
    add("two-entries.vmcf",
        WrapArchive(header, password, uint32_t(payload.size()),
                    ZipWithEntries({{"QM-5100_", payload}, {"QM-5100_2", payload}}, password)));
    {
        // The end record of an archive without entries.
        std::vector<uint8_t> empty = {'P', 'K', 5, 6};
        empty.resize(22, 0);
        add("no-entries.vmcf", WrapArchive(header, password, uint32_t(payload.size()), empty));
    }

    // Archives libzip cannot open or read.
    add("not-an-archive.vmcf", WrapArchive(header, password, uint32_t(payload.size()), RandomBytes(400, 3)));
    add("truncated-archive.vmcf",
        WrapArchive(header, password, uint32_t(payload.size()),
                    std::span<const uint8_t>(archive).first(archive.size() / 2)));
    add("archive-data-corrupted.vmcf", changed([&](auto& b) {
            // Middle of the entry's data: after the local header, its name and
            // extra field, and the 12-byte encryption header.
            ByteReader local(std::span<const uint8_t>(b).subspan(archiveAt));
            local.Seek(18);
            const uint32_t compressed = local.U32();
            local.Seek(26);
            const size_t nameLength = local.U16();
            const size_t extraLength = local.U16();
            b[archiveAt + 30 + nameLength + extraLength + 12 + (compressed - 12) / 2] ^= 0x5A;
        }, true));
    add("archive-directory-damaged.vmcf", changed([&](auto& b) {
            // The central directory's signature sits 46 + 8 bytes before the 22-byte end record.
            b[b.size() - 22 - 46 - 8] ^= 0xFF;
        }, true));
    return out;
}

}  // namespace orvalink::testing
