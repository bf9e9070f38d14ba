// Whole-file reading and writing for the file formats and every tool that
// writes a file.
//
// ReplaceFileBytes never leaves a half-written file: it writes a new file
// beside the target (same folder), checks every write, flushes it to the
// disk and only then renames it over the target, which keeps its
// permissions. Where the system can, the new file has no name until it is
// complete (O_TMPFILE), so a crash leaves nothing behind; elsewhere it is
// "<name>.~<16 hex digits>.tmp", and such files left by an earlier crashed
// save of the same target are removed once a save succeeds. When anything
// fails the old file stays as it was and no temporary file is left.
//
// ReadFileBytes opens without waiting (a FIFO or a terminal never blocks it)
// and reads regular files only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace orvalink {

// The two system calls that put a save's bytes on the disk. The base class
// makes them; tests hand in one whose disk fills up or whose flush fails.
class FileWrites {
public:
    virtual ~FileWrites() = default;
    // Writes the start of `bytes` to the open file `fd`: the count written
    // (at least 1), or -1 with errno set.
    virtual long Write(int fd, std::span<const uint8_t> bytes);
    // Makes what was written durable; false with errno set.
    virtual bool Sync(int fd);
    // Whether a save may write through a file without a name where the
    // system has them (false: always through a named one, as elsewhere).
    virtual bool UnnamedFiles() const { return true; }
};

// Reads the whole file. Fails (bytes untouched) when it cannot be opened or
// read, is not a regular file, or is longer than maxBytes; `why`, when
// given, then says why in a few words ("not a regular file").
bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes,
                   std::string* why = nullptr);

// Puts `bytes` at `target` as described above; `why` as for ReadFileBytes.
bool ReplaceFileBytes(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                      std::string* why = nullptr);
bool ReplaceFileBytes(const std::filesystem::path& target, std::span<const uint8_t> bytes, FileWrites& writes,
                      std::string* why = nullptr);

// Whether a save to `target` can be made: its folder exists and a file can
// be created in it, and the target is not a folder. Nothing is left behind.
// Lets a command that works long before it writes fail at once.
bool CanReplaceFile(const std::filesystem::path& target, std::string* why = nullptr);

// Whether the two paths name one file (also through links or other paths).
// False when either does not exist.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether `name` is what a save of `target` names its temporary file.
bool IsTemporaryNameOf(const std::filesystem::path& target, const std::string& name);

// A file written a piece at a time over a long while (a recording), with
// the same promise as ReplaceFileBytes: the pieces go to a temporary file
// beside the target ("<name>.~<16 hex digits>.tmp"), and only Commit puts
// it at the target, flushed to the disk, in one rename. Until then the
// target keeps what it held; Abandon (or the destructor without a Commit)
// removes the temporary file. A failed Append is remembered: Commit then
// fails too, and the target stays as it was.
class FileAppender {
public:
    FileAppender() = default;
    ~FileAppender();
    FileAppender(const FileAppender&) = delete;
    FileAppender& operator=(const FileAppender&) = delete;

    // Creates the temporary file for `target`; false (with why) when the
    // target is a folder or a device, or nothing can be made beside it.
    bool Begin(const std::filesystem::path& target, std::string* why = nullptr);
    bool Append(std::span<const uint8_t> bytes);
    // Flushes, closes and renames over the target. False with why when any
    // write failed or the rename did not happen; the target is then untouched.
    bool Commit(std::string* why = nullptr);
    void Abandon();
    bool IsOpen() const { return fd_ >= 0; }
    const std::filesystem::path& Target() const { return target_; }

private:
    FileWrites system_;
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    bool failed_ = false;
    std::string failure_;
};

}  // namespace orvalink
