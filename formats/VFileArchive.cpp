#include "formats/VFileArchive.h"

#include <zip.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

namespace orvalink {

namespace {

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
struct ArchiveDiscard {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct FileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;
using ArchivePtr = std::unique_ptr<zip_t, ArchiveDiscard>;
using FilePtr = std::unique_ptr<zip_file_t, FileClose>;

constexpr zip_uint32_t kDeflateLevel = 1;

// libzip takes texts as C strings; one with a zero byte cannot be passed on.
bool IsCText(std::string_view text) { return text.find('\0') == std::string_view::npos; }

// The bytes a written buffer source holds.
bool ReadWholeSource(zip_source_t* source, std::vector<uint8_t>& out) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(source, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
    std::vector<uint8_t> bytes(size_t(st.size));
    if (zip_source_open(source) != 0) return false;
    zip_uint64_t done = 0;
    bool ok = true;
    while (done < st.size) {
        zip_int64_t got = zip_source_read(source, bytes.data() + done, st.size - done);
        if (got <= 0) {
            ok = false;
            break;
        }
        done += zip_uint64_t(got);
    }
    zip_source_close(source);
    if (!ok) return false;
    out = std::move(bytes);
    return true;
}

}  // namespace

bool PackEncryptedEntry(std::string_view entryName, std::string_view password, std::span<const uint8_t> payload,
                        std::vector<uint8_t>& archive) {
    if (entryName.empty() || !IsCText(entryName) || !IsCText(password)) return false;
    try {
        const std::string name(entryName);
        const std::string secret(password);
        zip_error_t error;
        zip_error_init(&error);

        // The archive is written into this buffer source; we keep a reference
        // so its bytes can be read once the archive is closed.
        SourcePtr target(zip_source_buffer_create(nullptr, 0, 0, &error));
        if (!target) {
            zip_error_fini(&error);
            return false;
        }
        zip_t* za = zip_open_from_source(target.get(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_error_fini(&error);
        if (!za) return false;  // the source stays ours and is freed by `target`
        zip_source_keep(target.get());
        ArchivePtr owner(za);

        zip_source_t* data = zip_source_buffer(za, payload.empty() ? nullptr : payload.data(), payload.size(), 0);
        if (!data) return false;
        const zip_int64_t index = zip_file_add(za, name.c_str(), data, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(data);
            return false;
        }
        // A document is mostly erased flash: the fast deflate levels pack it
        // nearly as small as the default one, in a fraction of the time.
        if (zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, kDeflateLevel) != 0) return false;
        if (zip_file_set_encryption(za, zip_uint64_t(index), ZIP_EM_TRAD_PKWARE, secret.c_str()) != 0) return false;
        if (zip_close(za) != 0) return false;  // `owner` discards it
        owner.release();

        return ReadWholeSource(target.get(), archive);
    } catch (const std::exception&) {
        return false;
    }
}

bool UnpackSingleEntry(std::span<const uint8_t> archive, std::string_view entryName, std::string_view password,
                       uint64_t maxLength, std::vector<uint8_t>& payload) {
    if (entryName.empty() || !IsCText(entryName) || !IsCText(password)) return false;
    try {
        const std::string secret(password);
        zip_error_t error;
        zip_error_init(&error);
        SourcePtr source(zip_source_buffer_create(archive.empty() ? nullptr : archive.data(), archive.size(), 0, &error));
        if (!source) {
            zip_error_fini(&error);
            return false;
        }
        zip_t* za = zip_open_from_source(source.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
        zip_error_fini(&error);
        if (!za) return false;
        source.release();  // the archive owns it now
        ArchivePtr owner(za);

        if (zip_get_num_entries(za, 0) != 1) return false;
        const char* name = zip_get_name(za, 0, ZIP_FL_ENC_RAW);
        if (!name || std::string_view(name) != entryName) return false;

        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, 0, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
        if (st.size > maxLength) return false;  // refused before anything is inflated
        // Plain or traditionally encrypted, stored or deflated: what we and
        // Info-ZIP write. (Others are refused here rather than by libzip,
        // whose refusal of them in zip_fopen leaks.)
        if (!(st.valid & ZIP_STAT_ENCRYPTION_METHOD) || !(st.valid & ZIP_STAT_COMP_METHOD)) return false;
        if (st.encryption_method != ZIP_EM_NONE && st.encryption_method != ZIP_EM_TRAD_PKWARE) return false;
        if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE) return false;

        FilePtr file(zip_fopen_index_encrypted(za, 0, 0, secret.c_str()));
        if (!file) return false;
        // Never more than maxLength + 1 bytes, whatever the entry says.
        std::vector<uint8_t> out;
        out.reserve(size_t(st.size));
        uint8_t chunk[65536];
        for (;;) {
            const uint64_t room = maxLength + 1 - out.size();
            const zip_int64_t got = zip_fread(file.get(), chunk, std::min<uint64_t>(sizeof chunk, room));
            if (got < 0) return false;
            if (got == 0) break;
            out.insert(out.end(), chunk, chunk + got);
            if (out.size() > maxLength) return false;
        }
        if (zip_fclose(file.release()) != 0) return false;
        payload = std::move(out);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvalink
