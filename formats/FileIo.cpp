#include "formats/FileIo.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace orvalink {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

std::FILE* OpenFile(const std::filesystem::path& path, bool exclusiveWrite) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), exclusiveWrite ? L"wbx" : L"rb");
#else
    return std::fopen(path.c_str(), exclusiveWrite ? "wbx" : "rb");
#endif
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#if defined(_WIN32)
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

// A name beside the target that no file has yet: "<name>.~<hex>.tmp".
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target, unsigned attempt) {
    uint64_t tick = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t mix = tick ^ (uint64_t(attempt) * 0x9E3779B97F4A7C15ULL) ^ uint64_t(reinterpret_cast<uintptr_t>(&target));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(mix));
    std::filesystem::path name = target.filename();
    name += ".~";
    name += hex;
    name += ".tmp";
    return target.parent_path() / name;
}

}  // namespace

bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    try {
        std::unique_ptr<std::FILE, FileCloser> f(OpenFile(path, false));
        if (!f) return false;
        std::vector<uint8_t> data;
        std::error_code ec;
        uint64_t expected = std::filesystem::file_size(path, ec);
        if (!ec && expected <= maxBytes) data.reserve(size_t(expected));
        uint8_t chunk[65536];
        for (;;) {
            size_t got = std::fread(chunk, 1, sizeof chunk, f.get());
            if (got > 0) {
                if (data.size() + got > maxBytes) return false;
                data.insert(data.end(), chunk, chunk + got);
            }
            if (got < sizeof chunk) break;
        }
        if (std::ferror(f.get())) return false;
        bytes = std::move(data);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReplaceFileBytes(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    std::filesystem::path temp;
    bool created = false;
    try {
        std::unique_ptr<std::FILE, FileCloser> f;
        for (unsigned attempt = 0; attempt < 16 && !f; ++attempt) {
            temp = TemporaryNameFor(target, attempt);
            f.reset(OpenFile(temp, true));
        }
        if (!f) return false;
        created = true;
        bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
        written = written && FlushToDisk(f.get());
        bool closed = std::fclose(f.release()) == 0;
        std::error_code ec;
        if (written && closed) {
            std::filesystem::rename(temp, target, ec);
            if (!ec) return true;
        }
        std::filesystem::remove(temp, ec);
        return false;
    } catch (const std::exception&) {
        std::error_code ec;
        if (created) std::filesystem::remove(temp, ec);
        return false;
    }
}

}  // namespace orvalink
