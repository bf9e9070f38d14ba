// The two scrambled file kinds, security files and X files, read through one
// reader: what each says about a path that is no file of its kind.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "formats/XFiles.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// Reads `path` as one kind; `plain` stays as it was unless the read is good.
using KindReader = std::function<PlainFileOutcome(const fs::path&, std::vector<uint8_t>& plain)>;

struct ScrambledKind {
    const char* name;
    const char* extension;
    KindReader read;
};

const ScrambledKind kKinds[] = {
    {"security", ".smcf",
     [](const fs::path& p, std::vector<uint8_t>& plain) {
         uint8_t kind = 9;
         return ReadSecurityFile(p, plain, kind);
     }},
    {"x", ".xmcf",
     [](const fs::path& p, std::vector<uint8_t>& plain) {
         XFileHeader header;
         uint8_t kind = 9;
         return ReadXFile(p, plain, header, kind);
     }},
};

enum class Made { Fifo, Folder, TooLong, Missing };

struct PathCase {
    const char* name;
    Made made;
    PlainFileResult result;
    bool shown;       // "Can't perform ... Open, Seek, Read, Close." in a "File Error" box
    const char* why;  // the file layer's reason, "" for none
};

const PathCase kCases[] = {
    // A FIFO is never opened: a read would wait for a writer.
    {"fifo", Made::Fifo, PlainFileResult::ReadFailed, true, "not a regular file"},
    {"folder", Made::Folder, PlainFileResult::ReadFailed, true, "is a folder"},
    // A regular file of 800000 bytes or more is no file of either kind.
    {"too long", Made::TooLong, PlainFileResult::BadSecurityFile, false, ""},
    {"missing", Made::Missing, PlainFileResult::ReadFailed, true, ""},
};

TEST(ScrambledFiles, WhatIsNoRegularFileIsRefusedByBothReadersAlike) {
    const fs::path dir = fs::temp_directory_path() / "orvalink-scrambled-paths";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const ScrambledKind& k : kKinds) {
        for (const PathCase& c : kCases) {
            SCOPED_TRACE(std::string(k.name) + ": " + c.name);
            const fs::path path = dir / (std::string(k.name) + "-" + std::to_string(int(c.made)) + k.extension);
            switch (c.made) {
                case Made::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
                case Made::Folder: fs::create_directory(path); break;
                case Made::TooLong:
                    std::ofstream(path, std::ios::binary) << std::string(kSecurityFileLimit, '\0');
                    break;
                case Made::Missing: break;
            }
            std::vector<uint8_t> plain{7};
            const PlainFileOutcome out = k.read(path, plain);
            EXPECT_EQ(out.kind, c.result);
            EXPECT_EQ(out.message, c.shown ? kCantReadPlainText : "");
            EXPECT_EQ(out.caption, c.shown ? kFileErrorCaption : "");
            if (*c.why) {
                EXPECT_EQ(out.why, c.why);
            }
            EXPECT_EQ(out.path, path);
            EXPECT_EQ(plain, std::vector<uint8_t>{7});
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orvalink
