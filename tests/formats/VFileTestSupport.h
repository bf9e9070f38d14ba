// Helpers shared by the V-file tests: temporary folders, file bytes,
// realistic payloads, raw header patching and running Info-ZIP.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/ByteIo.h"
#include "formats/Flashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

extern char** environ;

namespace orvalink::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "orvalink-test-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A payload that looks like a memory image: erased 0xFF runs between runs
// of data of varied entropy.
inline std::vector<uint8_t> ImageLikePayload(size_t size, uint64_t seed = 7) {
    Pcg32Random random(seed);
    std::vector<uint8_t> out;
    out.reserve(size);
    while (out.size() < size) {
        const uint32_t pick = random.Next() % 10;
        size_t run = 16 + random.Next() % 2048;
        if (pick < 5) {
            out.insert(out.end(), run, 0xFF);
        } else if (pick < 8) {
            // records: small counters and key codes
            for (size_t i = 0; i < run; ++i) out.push_back(uint8_t((i % 8 == 0) ? random.Next() % 66 : (i * 7) & 0x3F));
        } else {
            for (size_t i = 0; i < run; ++i) out.push_back(uint8_t(random.Next()));
        }
    }
    out.resize(size);
    return out;
}

inline std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
    Pcg32Random random(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out) b = uint8_t(random.Next());
    return out;
}

// A header filled as the program fills it for a QM-5100 file of `kind`.
inline VFileHeader Qm5100Header(uint16_t kind = kKindVmcf, uint16_t version = 0x0105) {
    VFileHeader h;
    FillVFileHeader(kind, 2000, version, h);
    SetSingleName(h, "QM-5100_");
    return h;
}

// A V file built in memory, as SaveVFile would write it at `seconds`.
inline std::vector<uint8_t> BuildFile(std::span<const uint8_t> payload, VFileHeader header,
                                      int64_t seconds = 1780000000) {
    FixedClock clock(seconds);
    Pcg32Random random;
    std::vector<uint8_t> file;
    BuildVFileBytes(payload, header, clock, random, file);
    return file;
}

// Raw patching of a file's header fields.
inline void PutU8(std::vector<uint8_t>& file, size_t offset, uint8_t v) { file.at(offset) = v; }
inline void PutU16(std::vector<uint8_t>& file, size_t offset, uint16_t v) {
    file.at(offset) = uint8_t(v);
    file.at(offset + 1) = uint8_t(v >> 8);
}
inline void PutU32(std::vector<uint8_t>& file, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) file.at(offset + size_t(i)) = uint8_t(v >> (8 * i));
}
inline uint32_t GetU32(std::span<const uint8_t> file, size_t offset) {
    ByteReader r(file);
    r.Seek(offset);
    return r.U32();
}

// Field offsets of the file layout.
inline constexpr size_t kAtChecksum = 0;
inline constexpr size_t kAtFileLength = 4;
inline constexpr size_t kAtPayloadLength = 8;
inline constexpr size_t kAtModelName = 14;
inline constexpr size_t kAtExtension = 44;
inline constexpr size_t kAtKind = 52;
inline constexpr size_t kAtModelCode = 54;
inline constexpr size_t kAtVersion = 56;
inline constexpr size_t kAtPassword = 60;
inline constexpr size_t kAtNameForm = 124;
inline constexpr size_t kAtNameCount = 125;
inline constexpr size_t kAtNames = 127;

// Makes the file length field and the checksum agree with the bytes.
inline void FixLengthAndChecksum(std::vector<uint8_t>& file) {
    PutU32(file, kAtFileLength, uint32_t(file.size()));
    PutU32(file, kAtChecksum, Sum32(std::span<const uint8_t>(file).subspan(4)));
}

// A V file around any archive: the header's fields, one name, the given
// plain password scrambled into the block, the lengths and the checksum.
inline std::vector<uint8_t> WrapArchive(VFileHeader header, const std::string& password, uint32_t payloadLength,
                                        std::span<const uint8_t> archive) {
    header.passwordBlock.fill(0);
    for (size_t i = 0; i < password.size() && i < header.passwordBlock.size(); ++i)
        header.passwordBlock[i] = uint8_t(password[i]);
    ScrambleBlock(header.passwordBlock);
    header.payloadLength = payloadLength;
    std::vector<uint8_t> file;
    VFileHeaderToBytes(header, file);
    file.insert(file.end(), archive.begin(), archive.end());
    FixLengthAndChecksum(file);
    return file;
}

// The archive part of a file we wrote (it starts right after the 157 header bytes).
inline std::vector<uint8_t> ArchiveOf(std::span<const uint8_t> file) {
    return std::vector<uint8_t>(file.begin() + std::ptrdiff_t(kVWrittenHeaderLength), file.end());
}

// The password a file carries, recovered from its header bytes.
inline std::string PasswordOfFile(std::span<const uint8_t> file) {
    std::vector<uint8_t> block(file.begin() + kAtPassword, file.begin() + kAtPassword + 64);
    UnscrambleBlock(block);
    return PasswordOfBlock(block);
}

// Runs a program with the given argument vector (no shell in between);
// its output goes to `log`. Returns the exit status, or -1.
inline int RunProgram(const std::vector<std::string>& argv, const fs::path& log) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace orvalink::testing
