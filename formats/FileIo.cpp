#include "formats/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace orvalink {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kNameAttempts = 16;
constexpr size_t kHexDigits = 16;

void Say(std::string* why, std::string text) {
    if (why) *why = std::move(text);
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// --- the few system calls, for both families of systems --------------------

#if defined(_WIN32)
using StatBuffer = struct _stat64;
int PathStat(const fs::path& p, StatBuffer& st) { return _wstat64(p.c_str(), &st); }
int FdStat(int fd, StatBuffer& st) { return _fstat64(fd, &st); }
bool IsRegular(const StatBuffer& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
bool IsFolder(const StatBuffer& st) { return (st.st_mode & _S_IFMT) == _S_IFDIR; }
int OpenForReading(const fs::path& p) { return _wopen(p.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int CreateNew(const fs::path& p) {
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long ReadSome(int fd, uint8_t* buffer, size_t size) { return _read(fd, buffer, unsigned(std::min<size_t>(size, INT_MAX))); }
int CloseFd(int fd) { return _close(fd); }
#else
using StatBuffer = struct stat;
int PathStat(const fs::path& p, StatBuffer& st) { return ::stat(p.c_str(), &st); }
int FdStat(int fd, StatBuffer& st) { return ::fstat(fd, &st); }
bool IsRegular(const StatBuffer& st) { return S_ISREG(st.st_mode); }
bool IsFolder(const StatBuffer& st) { return S_ISDIR(st.st_mode); }
// Never waits for a writer (FIFO) or a carrier (terminal), never becomes
// the controlling terminal.
int OpenForReading(const fs::path& p) { return ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }
int CreateNew(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666); }
long ReadSome(int fd, uint8_t* buffer, size_t size) { return long(::read(fd, buffer, std::min<size_t>(size, INT_MAX))); }
int CloseFd(int fd) { return ::close(fd); }
#endif

// The file a save of `target` replaces: the file a symbolic link points at,
// so the link stays a link.
fs::path ResolvedTarget(const fs::path& target) {
    std::error_code ec;
    if (!fs::is_symlink(target, ec)) return target;
    fs::path resolved = fs::weakly_canonical(target, ec);
    return ec ? target : resolved;
}

fs::path FolderOf(const fs::path& target) {
    fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// A name beside the target that no file has yet: "<name>.~<hex>.tmp".
fs::path TemporaryNameFor(const fs::path& target, unsigned attempt) {
    uint64_t tick = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t mix = tick ^ (uint64_t(attempt + 1) * 0x9E3779B97F4A7C15ULL) ^ uint64_t(reinterpret_cast<uintptr_t>(&target));
#if !defined(_WIN32)
    mix ^= uint64_t(::getpid()) << 40;
#endif
    char hex[kHexDigits + 1];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(mix));
    fs::path name = target.filename();
    name += ".~";
    name += hex;
    name += ".tmp";
    return target.parent_path() / name;
}

// Writes all of `bytes` and flushes them to the disk.
bool WriteAll(int fd, std::span<const uint8_t> bytes, FileWrites& writes, std::string* why) {
    size_t done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const long n = writes.Write(fd, bytes.subspan(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Say(why, ErrnoText(n == 0 || errno == 0 ? ENOSPC : errno));
            return false;
        }
        done += size_t(n);
    }
    if (!writes.Sync(fd)) {
        Say(why, ErrnoText(errno ? errno : EIO));
        return false;
    }
    return true;
}

// Gives the new file the rights (and, where allowed, the owner) of the one
// it replaces.
bool TakeOverRights(int fd, const StatBuffer* old, std::string* why) {
#if defined(_WIN32)
    (void)fd;
    (void)old;
    (void)why;
    return true;
#else
    if (!old) return true;
    // Only the superuser may give a file away; others keep it their own, in
    // the old file's group where they belong to it, else in their own.
    if (::fchown(fd, old->st_uid, old->st_gid) != 0 && ::fchown(fd, uid_t(-1), old->st_gid) != 0) {
        // the file stays the writer's own
    }
    if (::fchmod(fd, old->st_mode & 07777) != 0) {
        Say(why, ErrnoText(errno));
        return false;
    }
    return true;
#endif
}

void SyncFolder(const fs::path& folder) {
#if !defined(_WIN32)
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
#else
    (void)folder;
#endif
}

bool RenameOver(const fs::path& from, const fs::path& to, std::string* why) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec) return true;
    Say(why, ec.message());
    fs::remove(from, ec);
    return false;
}

#if defined(O_TMPFILE)
// The unnamed file of the folder, complete, under a temporary name beside
// the target. errno is left as the system set it.
bool NameUnnamedFile(int fd, const fs::path& target, fs::path& named) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        const fs::path name = TemporaryNameFor(target, attempt);
        if (::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
            named = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// Writes through an unnamed file of the target's folder. `tried` is false
// when the system or the file system has no unnamed files (or cannot name
// one): the caller then writes through a named file.
bool ReplaceThroughUnnamedFile(const fs::path& target, std::span<const uint8_t> bytes, FileWrites& writes,
                               const StatBuffer* old, bool& tried, std::string* why) {
    tried = false;
    const int fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    tried = true;
    fs::path named;
    bool ok = TakeOverRights(fd, old, why) && WriteAll(fd, bytes, writes, why);
    if (ok && !NameUnnamedFile(fd, target, named)) {
        const int error = errno;
        ::close(fd);
        if (error == EEXIST) {
            Say(why, ErrnoText(error));
            return false;
        }
        tried = false;  // no way to give it a name here
        return false;
    }
    if (::close(fd) != 0 && ok) {
        Say(why, ErrnoText(errno));
        ok = false;
    }
    if (!ok) {
        std::error_code ec;
        if (!named.empty()) fs::remove(named, ec);
        return false;
    }
    return RenameOver(named, target, why);
}
#endif

bool ReplaceThroughNamedFile(const fs::path& target, std::span<const uint8_t> bytes, FileWrites& writes,
                             const StatBuffer* old, std::string* why) {
    fs::path temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temp = TemporaryNameFor(target, attempt);
        fd = CreateNew(temp);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Say(why, ErrnoText(errno));
        return false;
    }
    bool ok = TakeOverRights(fd, old, why) && WriteAll(fd, bytes, writes, why);
    if (CloseFd(fd) != 0 && ok) {
        Say(why, ErrnoText(errno));
        ok = false;
    }
    if (!ok) {
        std::error_code ec;
        fs::remove(temp, ec);
        return false;
    }
    return RenameOver(temp, target, why);
}

// Temporary files of earlier saves of `target` that never finished (the
// program was killed between creating and renaming them).
void RemoveStaleTemporaries(const fs::path& target) {
    std::error_code ec;
    fs::directory_iterator it(FolderOf(target), ec);
    if (ec) return;
    for (const fs::directory_entry& entry : it) {
        if (!IsTemporaryNameOf(target, entry.path().filename().string())) continue;
        std::error_code typeError;
        if (!entry.is_regular_file(typeError) || entry.is_symlink(typeError)) continue;
#if !defined(_WIN32)
        // Only our own: a save of another user's is none of ours.
        struct stat st;
        if (::lstat(entry.path().c_str(), &st) != 0 || st.st_uid != ::geteuid()) continue;
#endif
        std::error_code removeError;
        fs::remove(entry.path(), removeError);
    }
}

}  // namespace

long FileWrites::Write(int fd, std::span<const uint8_t> bytes) {
#if defined(_WIN32)
    return _write(fd, bytes.data(), unsigned(std::min<size_t>(bytes.size(), 1u << 30)));
#else
    return long(::write(fd, bytes.data(), std::min<size_t>(bytes.size(), size_t(1) << 30)));
#endif
}

bool FileWrites::Sync(int fd) {
#if defined(_WIN32)
    return _commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

bool IsTemporaryNameOf(const fs::path& target, const std::string& name) {
    const std::string stem = target.filename().string() + ".~";
    const std::string tail = ".tmp";
    if (name.size() != stem.size() + kHexDigits + tail.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0 || name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    return std::all_of(name.begin() + std::ptrdiff_t(stem.size()), name.end() - std::ptrdiff_t(tail.size()),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool ReadFileBytes(const fs::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes, std::string* why) {
    try {
        // Refused before it is opened: opening a device may itself do something.
        StatBuffer st;
        if (PathStat(path, st) != 0) {
            Say(why, ErrnoText(errno));
            return false;
        }
        if (!IsRegular(st)) {
            Say(why, IsFolder(st) ? "is a folder" : "not a regular file");
            return false;
        }
        const int fd = OpenForReading(path);
        if (fd < 0) {
            Say(why, ErrnoText(errno));
            return false;
        }
        struct Closer {
            int fd;
            ~Closer() { CloseFd(fd); }
        } closer{fd};
        // What was opened may not be what was looked at.
        if (FdStat(fd, st) != 0 || !IsRegular(st)) {
            Say(why, "not a regular file");
            return false;
        }
        auto tooLarge = [&](uint64_t size) {
            Say(why, "too large (" + std::to_string(size) + " bytes; at most " + std::to_string(maxBytes) + ")");
            return false;
        };
        if (uint64_t(st.st_size) > maxBytes) return tooLarge(uint64_t(st.st_size));

        std::vector<uint8_t> data;
        data.reserve(size_t(st.st_size));
        uint8_t chunk[65536];
        for (;;) {
            const long got = ReadSome(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                Say(why, ErrnoText(errno));
                return false;
            }
            if (got == 0) break;
            if (data.size() + size_t(got) > maxBytes) return tooLarge(data.size() + size_t(got));
            data.insert(data.end(), chunk, chunk + got);
        }
        bytes = std::move(data);
        return true;
    } catch (const std::exception&) {
        Say(why, "out of memory");
        return false;
    }
}

bool ReplaceFileBytes(const fs::path& target, std::span<const uint8_t> bytes, std::string* why) {
    FileWrites system;
    return ReplaceFileBytes(target, bytes, system, why);
}

bool ReplaceFileBytes(const fs::path& given, std::span<const uint8_t> bytes, FileWrites& writes, std::string* why) {
    try {
        const fs::path target = ResolvedTarget(given);
        StatBuffer st;
        const StatBuffer* old = nullptr;
        if (PathStat(target, st) == 0) {
            // Renaming over a device or a folder would replace it, not write to it.
            if (!IsRegular(st)) {
                Say(why, IsFolder(st) ? "is a folder" : "not a regular file");
                return false;
            }
            old = &st;
        }
        bool done = false;
#if defined(O_TMPFILE)
        if (writes.UnnamedFiles()) {
            bool tried = false;
            done = ReplaceThroughUnnamedFile(target, bytes, writes, old, tried, why);
            if (!done && tried) return false;
        }
#endif
        if (!done) done = ReplaceThroughNamedFile(target, bytes, writes, old, why);
        if (!done) return false;
        SyncFolder(FolderOf(target));
        RemoveStaleTemporaries(target);
        return true;
    } catch (const std::exception&) {
        Say(why, "out of memory");
        return false;
    }
}

bool CanReplaceFile(const fs::path& given, std::string* why) {
    try {
        const fs::path target = ResolvedTarget(given);
        StatBuffer st;
        if (PathStat(target, st) == 0 && !IsRegular(st)) {
            Say(why, IsFolder(st) ? "is a folder" : "not a regular file");
            return false;
        }
        const fs::path folder = FolderOf(target);
        if (PathStat(folder, st) != 0) {
            Say(why, "folder " + folder.string() + ": " + ErrnoText(errno));
            return false;
        }
        if (!IsFolder(st)) {
            Say(why, folder.string() + " is not a folder");
            return false;
        }
        // A file made and dropped at once tells more than the permission
        // bits: read-only file systems, quotas, access lists.
#if defined(O_TMPFILE)
        const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (unnamed >= 0) {
            ::close(unnamed);
            return true;
        }
#endif
        for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
            const fs::path probe = TemporaryNameFor(target, attempt);
            const int fd = CreateNew(probe);
            if (fd >= 0) {
                CloseFd(fd);
                std::error_code ec;
                fs::remove(probe, ec);
                return true;
            }
            if (errno != EEXIST) break;
        }
        Say(why, "folder " + folder.string() + ": " + ErrnoText(errno));
        return false;
    } catch (const std::exception&) {
        Say(why, "out of memory");
        return false;
    }
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

// ---------------------------------------------------------------------------
// FileAppender

FileAppender::~FileAppender() { Abandon(); }

bool FileAppender::Begin(const fs::path& given, std::string* why) {
    Abandon();
    try {
        target_ = ResolvedTarget(given);
        StatBuffer st;
        if (PathStat(target_, st) == 0 && !IsRegular(st)) {
            Say(why, IsFolder(st) ? "is a folder" : "not a regular file");
            return false;
        }
        for (unsigned attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
            temp_ = TemporaryNameFor(target_, attempt);
            fd_ = CreateNew(temp_);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) {
            Say(why, ErrnoText(errno));
            temp_.clear();
            return false;
        }
        failed_ = false;
        failure_.clear();
        return true;
    } catch (const std::exception&) {
        Say(why, "out of memory");
        return false;
    }
}

bool FileAppender::Append(std::span<const uint8_t> bytes) {
    if (fd_ < 0 || failed_) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const long n = system_.Write(fd_, bytes.subspan(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            failure_ = ErrnoText(n == 0 || errno == 0 ? ENOSPC : errno);
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool FileAppender::Commit(std::string* why) {
    if (fd_ < 0) {
        Say(why, "no file is being written");
        return false;
    }
    bool ok = !failed_;
    if (!ok) Say(why, failure_);
    if (ok && !system_.Sync(fd_)) {
        Say(why, ErrnoText(errno ? errno : EIO));
        ok = false;
    }
    if (CloseFd(fd_) != 0 && ok) {
        Say(why, ErrnoText(errno));
        ok = false;
    }
    fd_ = -1;
    if (!ok) {
        std::error_code ec;
        fs::remove(temp_, ec);
        temp_.clear();
        return false;
    }
    const bool renamed = RenameOver(temp_, target_, why);
    temp_.clear();
    if (renamed) SyncFolder(FolderOf(target_));
    return renamed;
}

void FileAppender::Abandon() {
    if (fd_ >= 0) {
        CloseFd(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
        temp_.clear();
    }
}

}  // namespace orvalink
