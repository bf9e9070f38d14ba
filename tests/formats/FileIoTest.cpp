// Saving and reading whole files: a save that fails (disk full, flush
// refused) keeps the old file and leaves no temporary file; a replaced file
// keeps its permissions; temporary files of crashed saves are cleared by the
// next save; reading refuses anything but a regular file without waiting.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "formats/FileIo.h"
#include "formats/VFileTestSupport.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

// A disk that takes `room` more bytes and then is full, or whose flush fails.
// It can look at the folder while a save writes, and can keep saves to
// named temporary files, as on systems without unnamed ones.
class FullDisk final : public FileWrites {
public:
    explicit FullDisk(size_t room, bool flushFails = false, bool unnamed = true)
        : room_(room), flushFails_(flushFails), unnamed_(unnamed) {}
    bool UnnamedFiles() const override { return unnamed_; }

    long Write(int fd, std::span<const uint8_t> bytes) override {
        if (onWrite) onWrite();
        if (room_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        // Short writes, as a disk that fills up gives them.
        const size_t n = std::min({bytes.size(), room_, size_t(4096)});
        const long written = FileWrites::Write(fd, bytes.first(n));
        if (written > 0) room_ -= size_t(written);
        return written;
    }
    bool Sync(int fd) override {
        if (flushFails_) {
            errno = EIO;
            return false;
        }
        return FileWrites::Sync(fd);
    }

    std::function<void()> onWrite;

private:
    size_t room_;
    bool flushFails_;
    bool unnamed_;
};

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 13 + seed);
    return b;
}

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

bool FolderHasUnnamedFiles(const fs::path& folder) {
#if defined(O_TMPFILE)
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
#else
    (void)folder;
    return false;
#endif
}

TEST(ReplaceFileBytes, AFailedSaveKeepsTheOldFileAndLeavesNothingElse) {
    struct Case {
        const char* label;
        size_t room;
        bool flushFails;
        const char* why;
    };
    const Case cases[] = {
        {"disk full at once", 0, false, "No space left on device"},
        {"disk full half-way", 30000, false, "No space left on device"},
        {"disk full at the last byte", 99999, false, "No space left on device"},
        {"flush refused", 1 << 20, true, "Input/output error"},
    };
    for (const Case& c : cases) {
        for (bool unnamed : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (unnamed ? ", unnamed file" : ", named file"));
            TempDir dir;
            const auto old = Bytes(5000, 1);
            WriteBytes(dir / "doc.vmcf", old);
            FullDisk disk(c.room, c.flushFails, unnamed);
            std::string why;
            EXPECT_FALSE(ReplaceFileBytes(dir / "doc.vmcf", Bytes(100000, 2), disk, &why));
            EXPECT_EQ(why, c.why);
            EXPECT_EQ(ReadBytes(dir / "doc.vmcf"), old);
            EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.vmcf"});

            // A file that was not there is not there afterwards either.
            FullDisk again(c.room, c.flushFails, unnamed);
            EXPECT_FALSE(ReplaceFileBytes(dir / "new.vmcf", Bytes(100000, 2), again));
            EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.vmcf"});
        }
    }
}

TEST(ReplaceFileBytes, WritesEverythingThroughShortWrites) {
    for (bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed file" : "named file");
        TempDir dir;
        FullDisk roomy(1 << 20, false, unnamed);
        const auto bytes = Bytes(70001, 3);
        WriteBytes(dir / "out.bin", Bytes(90000, 0));
        ASSERT_TRUE(ReplaceFileBytes(dir / "out.bin", bytes, roomy));
        EXPECT_EQ(ReadBytes(dir / "out.bin"), bytes);
        ASSERT_TRUE(ReplaceFileBytes(dir / "empty.bin", {}, roomy));
        EXPECT_TRUE(ReadBytes(dir / "empty.bin").empty());
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"empty.bin", "out.bin"}));
    }
}

TEST(ReplaceFileBytes, AReplacedFileKeepsItsPermissions) {
    for (bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed file" : "named file");
        TempDir dir;
        FullDisk roomy(1 << 20, false, unnamed);
        for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0444)}) {
            SCOPED_TRACE(mode);
            const fs::path file = dir / ("f" + std::to_string(mode));
            WriteBytes(file, Bytes(10, 0));
            ASSERT_EQ(::chmod(file.c_str(), mode), 0);
            ASSERT_TRUE(ReplaceFileBytes(file, Bytes(20, 1), roomy));
            EXPECT_EQ(ModeOf(file), mode);
            EXPECT_EQ(ReadBytes(file), Bytes(20, 1));
        }
        // A new file gets what the umask allows.
        const mode_t mask = ::umask(027);
        ASSERT_TRUE(ReplaceFileBytes(dir / "fresh", Bytes(3, 0), roomy));
        ::umask(mask);
        EXPECT_EQ(ModeOf(dir / "fresh"), mode_t(0640));
    }
}

TEST(ReplaceFileBytes, ASymbolicLinkStaysALinkToTheNewContents) {
    TempDir dir;
    WriteBytes(dir / "real.vmcf", Bytes(10, 0));
    fs::create_symlink("real.vmcf", dir / "link.vmcf");
    ASSERT_TRUE(ReplaceFileBytes(dir / "link.vmcf", Bytes(30, 4)));
    EXPECT_TRUE(fs::is_symlink(dir / "link.vmcf"));
    EXPECT_EQ(ReadBytes(dir / "real.vmcf"), Bytes(30, 4));
}

TEST(ReplaceFileBytes, RefusesToReplaceWhatIsNotARegularFile) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    std::string why;
    EXPECT_FALSE(ReplaceFileBytes(dir / "folder", Bytes(10, 0), &why));
    EXPECT_EQ(why, "is a folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReplaceFileBytes(dir / "fifo", Bytes(10, 0), &why));
    EXPECT_EQ(why, "not a regular file");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"fifo", "folder"}));
}

TEST(ReplaceFileBytes, ASuccessfulSaveRemovesTheTemporaryFilesOfCrashedSaves) {
    TempDir dir;
    WriteBytes(dir / "doc.vmcf", Bytes(10, 0));
    // What a save killed before its rename leaves, and names that only look alike.
    const std::vector<std::string> ours = {"doc.vmcf.~0123456789abcdef.tmp", "doc.vmcf.~fedcba9876543210.tmp"};
    const std::vector<std::string> others = {"doc.vmcf.~0123456789ABCDEF.tmp", "doc.vmcf.~0123.tmp",
                                             "other.vmcf.~0123456789abcdef.tmp", "doc.vmcf.part",
                                             "doc.vmcf.~0123456789abcdef.tmp.keep"};
    for (const auto& name : ours) WriteBytes(dir / name, Bytes(7, 1));
    for (const auto& name : others) WriteBytes(dir / name, Bytes(7, 1));
    for (const auto& name : ours) EXPECT_TRUE(IsTemporaryNameOf(dir / "doc.vmcf", name)) << name;
    for (const auto& name : others) EXPECT_FALSE(IsTemporaryNameOf(dir / "doc.vmcf", name)) << name;

    // A failed save clears nothing.
    FullDisk full(0);
    EXPECT_FALSE(ReplaceFileBytes(dir / "doc.vmcf", Bytes(100, 2), full));
    for (const auto& name : ours) EXPECT_TRUE(fs::exists(dir / name)) << name;

    ASSERT_TRUE(ReplaceFileBytes(dir / "doc.vmcf", Bytes(100, 2)));
    std::vector<std::string> expected = others;
    expected.push_back("doc.vmcf");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Entries(), expected);
}

TEST(ReplaceFileBytes, WritesAFileWithoutANameWhereTheSystemHasThem) {
    TempDir dir;
    if (!FolderHasUnnamedFiles(dir.path())) GTEST_SKIP() << "no unnamed files (O_TMPFILE) here";
    WriteBytes(dir / "doc.vmcf", Bytes(10, 0));
    FullDisk roomy(1 << 20);
    std::vector<std::vector<std::string>> seen;
    roomy.onWrite = [&] { seen.push_back(dir.Entries()); };
    ASSERT_TRUE(ReplaceFileBytes(dir / "doc.vmcf", Bytes(50000, 5), roomy));
    ASSERT_FALSE(seen.empty());
    // While it was written, nothing but the old file could be seen: a crash
    // then leaves nothing behind.
    for (const auto& entries : seen) EXPECT_EQ(entries, std::vector<std::string>{"doc.vmcf"});
    EXPECT_EQ(ReadBytes(dir / "doc.vmcf"), Bytes(50000, 5));
}

TEST(ReadFileBytes, RefusesWhatIsNotARegularFileWithoutWaiting) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    struct Case {
        fs::path path;
        const char* why;
    };
    const Case cases[] = {
        {"/dev/zero", "not a regular file"},
        {"/dev/null", "not a regular file"},
        {dir / "folder", "is a folder"},
        {dir / "missing", "No such file or directory"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = {9};
        std::string why;
        EXPECT_FALSE(ReadFileBytes(c.path, bytes, 1 << 20, &why)) << c.path;
        EXPECT_EQ(why, c.why) << c.path;
        EXPECT_EQ(bytes, std::vector<uint8_t>{9}) << c.path;
    }
}

TEST(ReadFileBytes, RefusesAFileLongerThanAllowedBeforeReadingIt) {
    TempDir dir;
    // Five gigabytes that take no room on the disk.
    {
        std::ofstream(dir / "huge.bin").put('x');
    }
    fs::resize_file(dir / "huge.bin", 5ull << 30);
    std::vector<uint8_t> bytes;
    std::string why;
    EXPECT_FALSE(ReadFileBytes(dir / "huge.bin", bytes, 64 << 20, &why));
    EXPECT_EQ(why, "too large (5368709120 bytes; at most 67108864)");
    // At the limit it is read; one byte more is refused.
    WriteBytes(dir / "small.bin", Bytes(100, 0));
    EXPECT_TRUE(ReadFileBytes(dir / "small.bin", bytes, 100));
    EXPECT_EQ(bytes, Bytes(100, 0));
    EXPECT_FALSE(ReadFileBytes(dir / "small.bin", bytes, 99));
}

TEST(CanReplaceFile, TellsBeforehandWhetherASaveCanBeMade) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    WriteBytes(dir / "plain", Bytes(4, 0));
    std::string why;
    EXPECT_TRUE(CanReplaceFile(dir / "new.vmcf", &why)) << why;
    EXPECT_TRUE(CanReplaceFile(dir / "plain", &why)) << why;
    EXPECT_FALSE(CanReplaceFile(dir / "missing" / "out.vmcf", &why));
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
    EXPECT_FALSE(CanReplaceFile(dir / "plain" / "out.vmcf", &why));
    EXPECT_FALSE(CanReplaceFile(dir / "folder", &why));
    EXPECT_EQ(why, "is a folder");
    if (::geteuid() != 0) {  // the superuser writes into any folder
        fs::create_directory(dir / "locked");
        ::chmod((dir / "locked").c_str(), 0500);
        EXPECT_FALSE(CanReplaceFile(dir / "locked" / "out.vmcf", &why));
        EXPECT_NE(why.find("Permission denied"), std::string::npos) << why;
        ::chmod((dir / "locked").c_str(), 0700);
    }
    // Looking left nothing behind.
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>(::geteuid() != 0
                                                           ? std::vector<std::string>{"folder", "locked", "plain"}
                                                           : std::vector<std::string>{"folder", "plain"})));
}

TEST(IsSameFile, SeesOneFileThroughEveryPathToIt) {
    TempDir dir;
    WriteBytes(dir / "a", Bytes(4, 0));
    WriteBytes(dir / "b", Bytes(4, 0));
    fs::create_hard_link(dir / "a", dir / "hard");
    fs::create_symlink(dir / "a", dir / "soft");
    EXPECT_TRUE(IsSameFile(dir / "a", dir / "a"));
    EXPECT_TRUE(IsSameFile(dir / "a", dir.path() / "." / "a"));
    EXPECT_TRUE(IsSameFile(dir / "a", dir / "hard"));
    EXPECT_TRUE(IsSameFile(dir / "soft", dir / "a"));
    EXPECT_FALSE(IsSameFile(dir / "a", dir / "b"));
    EXPECT_FALSE(IsSameFile(dir / "a", dir / "missing"));
    EXPECT_FALSE(IsSameFile(dir / "missing", dir / "missing"));
}

}  // namespace
}  // namespace orvalink
