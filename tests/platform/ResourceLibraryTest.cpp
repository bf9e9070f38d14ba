#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/ResourceLibrary.h"

namespace orvalink {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

Bytes FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path SampleSources() { return fs::path(ORVALINK_TEST_DATA_DIR).parent_path() / "platform" / "resource-dll"; }
fs::path CommittedSample(const char* name) { return fs::path(ORVALINK_TEST_DATA_DIR) / "resource-dll" / name; }

// The committed copies always; the ones the build makes when it makes them.
std::vector<fs::path> SampleLibraries() {
    std::vector<fs::path> paths{CommittedSample("sample-pe32plus.dll"), CommittedSample("sample-pe32.dll")};
#if defined(ORVALINK_BUILT_SAMPLE_DLL64)
    paths.push_back(ORVALINK_BUILT_SAMPLE_DLL64);
    paths.push_back(ORVALINK_BUILT_SAMPLE_DLL32);
#endif
    return paths;
}

struct Expected {
    uint16_t type;
    uint16_t id;
    const char* file;
};
constexpr Expected kSampleResources[] = {
    {kResourceTypeRcData, 1700, "picture.bin"}, {kResourceTypeRcData, 3000, "table.bin"},
    {kResourceTypeRcData, 78, "empty.bin"},     {400, 77, "custom.bin"},
    {kResourceTypeRcData, 42, "lang-de.bin"},  // the first of two languages
};

uint32_t Get32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Where the parts of a sample library lie, found the way a loader finds them.
struct Layout {
    size_t pe = 0, optional = 0, resourceDirectory = 0, sectionTable = 0, sectionHeader = 0, root = 0;
    uint32_t sectionRva = 0, sectionExtent = 0, treeSize = 0;
    // File offsets of entry i of the directory at tree offset dir, and of its target.
    size_t Entry(uint32_t dir, int i) const { return root + dir + 16 + 8 * size_t(i); }
    size_t Target(uint32_t dir, int i) const { return Entry(dir, i) + 4; }
};

Layout Locate(const Bytes& b) {
    Layout l;
    l.pe = Get32(b, 0x3C);
    l.optional = l.pe + 24;
    bool plus = (Get32(b, l.optional) & 0xFFFF) == 0x20B;
    l.resourceDirectory = l.optional + (plus ? 112 : 96) + 16;
    uint32_t rva = Get32(b, l.resourceDirectory);
    l.sectionTable = l.optional + (Get32(b, l.pe + 20) & 0xFFFF);
    for (size_t i = 0, n = (Get32(b, l.pe + 4) >> 16); i < n; ++i) {
        size_t sh = l.sectionTable + 40 * i;
        uint32_t va = Get32(b, sh + 12), vsize = Get32(b, sh + 8), raw = Get32(b, sh + 16);
        if (rva < va || rva - va >= raw) continue;
        l.sectionHeader = sh;
        l.sectionRva = va;
        l.sectionExtent = vsize && vsize < raw ? vsize : raw;
        l.root = Get32(b, sh + 20) + (rva - va);
        l.treeSize = l.sectionExtent - (rva - va);
    }
    return l;
}

// Tree offset of the subdirectory behind the entry with the given number.
uint32_t SubdirectoryOf(const Bytes& b, const Layout& l, uint32_t dir, uint32_t id) {
    size_t count = (Get32(b, l.root + dir + 12) & 0xFFFF) + (Get32(b, l.root + dir + 12) >> 16);
    for (size_t i = 0; i < count; ++i)
        if (Get32(b, l.Entry(dir, int(i))) == id) return Get32(b, l.Target(dir, int(i))) & 0x7FFFFFFF;
    ADD_FAILURE() << "no entry " << id << " in directory " << dir;
    return 0;
}

// Each test runs on the 64-bit and on the 32-bit sample.
class SampleBytes : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        good = FileBytes(CommittedSample(GetParam()));
        ASSERT_GT(good.size(), 1024u);
        l = Locate(good);
        ASSERT_NE(l.root, 0u);
        rcdata = SubdirectoryOf(good, l, 0, kResourceTypeRcData);
        logoLanguages = Get32(good, l.Target(rcdata, 0)) & 0x7FFFFFFF;  // the named entry sorts first
        tableLanguages = SubdirectoryOf(good, l, rcdata, 3000);
        tableData = Get32(good, l.Target(tableLanguages, 0));
    }
    // Opens a copy of the sample with some 32-bit words changed.
    bool OpenWith(std::initializer_list<std::pair<size_t, uint32_t>> words, ResourceError expected) {
        Bytes b = good;
        for (auto [at, value] : words) Put32(b, at, value);
        library.Close();
        bool opened = library.OpenBytes(b);
        EXPECT_EQ(library.LastError(), opened ? ResourceError::None : expected) << "word at " << words.begin()->first;
        EXPECT_EQ(library.IsOpen(), opened);
        return opened;
    }
    bool OpenWith(size_t at, uint32_t value, ResourceError expected) { return OpenWith({{at, value}}, expected); }

    Bytes good;
    Layout l;
    uint32_t rcdata = 0, logoLanguages = 0, tableLanguages = 0, tableData = 0;
    ResourceLibrary library;
};

TEST(ResourceLibraryRead, EverySampleResourceReadsBackByteForByte) {
    for (const fs::path& path : SampleLibraries()) {
        ResourceLibrary library;
        ASSERT_TRUE(library.Open(path.string())) << path << ": " << ResourceErrorText(library.LastError());
        for (const Expected& e : kSampleResources) {
            Bytes out{0xAA};
            EXPECT_TRUE(library.Read(e.type, e.id, out)) << path << " " << e.id;
            EXPECT_EQ(out, FileBytes(SampleSources() / e.file)) << path << " " << e.id;
        }
    }
}

TEST(ResourceLibraryRead, MissingTypeOrNumberIsNotFoundAndLeavesTheOutputAlone) {
    ResourceLibrary library;
    ASSERT_TRUE(library.Open(CommittedSample("sample-pe32.dll").string()));
    const Expected missing[] = {{kResourceTypeRcData, 9999, ""}, {99, 1700, ""}, {400, 1700, ""}, {kResourceTypeRcData, 77, ""}};
    for (const Expected& e : missing) {
        Bytes out{1, 2, 3};
        EXPECT_FALSE(library.Read(e.type, e.id, out)) << e.type << "/" << e.id;
        EXPECT_EQ(library.LastError(), ResourceError::NotFound);
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
}

TEST(ResourceLibraryRead, ProgramLibrariesHoldTheirAssets) {
#if defined(ORVALINK_MODEL_DLL)
    const fs::path assets = ORVALINK_ASSETS_DIR;
    const fs::path drawn = ORVALINK_MODEL_PICTURE_DIR;  // the pictures the build draws
    ResourceLibrary model;
    ASSERT_TRUE(model.Open(ORVALINK_MODEL_DLL));
    const Expected pictures[] = {{10, 1700, "splash-1700.jpg"}, {10, 1701, "splash-1701.jpg"},
                                 {10, 1702, "splash-1702.jpg"}, {10, 2000, "picker-2000.jpg"},
                                 {10, 2001, "picker-2001.jpg"}};
    for (const Expected& e : pictures) {
        Bytes out;
        ASSERT_TRUE(model.Read(e.type, e.id, out)) << e.id;
        EXPECT_EQ(out, FileBytes(drawn / e.file)) << e.id;
        ASSERT_GE(out.size(), 4u);
        EXPECT_TRUE(out[0] == 0xFF && out[1] == 0xD8 && out[out.size() - 2] == 0xFF && out.back() == 0xD9) << e.id;
    }
    ResourceLibrary devModel;
    ASSERT_TRUE(devModel.Open(ORVALINK_DEV_MODEL_DLL));
    for (uint16_t id = 1001; id <= 1010; ++id) {
        Bytes out;
        ASSERT_TRUE(devModel.ReadRcData(id, out)) << id;
        EXPECT_EQ(out, FileBytes(fs::path(ORVALINK_DEV_MODEL_DATA_DIR) / "templates" / ("template-" + std::to_string(id) + ".bin")));
        EXPECT_TRUE(out.size() >= 100 && out.size() <= 20000) << id;
    }
    Bytes table;
    ASSERT_TRUE(devModel.ReadRcData(0x0BB8, table));
    EXPECT_EQ(table, FileBytes(fs::path(ORVALINK_DEV_MODEL_DATA_DIR) / "codetable.txt"));
#else
    GTEST_SKIP() << "model.dll and dev_model.dll are not part of this build";
#endif
}

TEST(ResourceLibraryOpen, MissingFileOrNoLibraryIsRefused) {
    ResourceLibrary library;
    Bytes out{7};
    EXPECT_FALSE(library.ReadRcData(1700, out));
    EXPECT_EQ(library.LastError(), ResourceError::NotOpen);
    EXPECT_FALSE(library.Open((SampleSources() / "no-such-library.dll").string()));
    EXPECT_EQ(library.LastError(), ResourceError::CannotOpenFile);
    EXPECT_FALSE(library.IsOpen());

    ASSERT_TRUE(library.Open(CommittedSample("sample-pe32plus.dll").string()));
    library.Close();
    EXPECT_FALSE(library.IsOpen());
    EXPECT_FALSE(library.ReadRcData(1700, out));
    EXPECT_EQ(library.LastError(), ResourceError::NotOpen);
    EXPECT_EQ(out, Bytes{7});
}

TEST_P(SampleBytes, FailedOpenKeepsTheOpenLibraryAndOpenBytesKeepsItsOwnCopy) {
    ASSERT_TRUE(library.OpenBytes(good));
    std::fill(good.begin(), good.end(), uint8_t(0));  // the caller's buffer goes away
    EXPECT_FALSE(library.OpenBytes(good));
    EXPECT_EQ(library.LastError(), ResourceError::NotPeFile);
    EXPECT_FALSE(library.Open("/no/such/library.dll"));
    ASSERT_TRUE(library.IsOpen());
    Bytes out;
    EXPECT_TRUE(library.ReadRcData(3000, out));
    EXPECT_EQ(out, FileBytes(SampleSources() / "table.bin"));
}

TEST_P(SampleBytes, LibraryWithoutResourcesOpensAndHoldsNothing) {
    Bytes b = good;
    Put32(b, l.resourceDirectory, 0);
    Put32(b, l.resourceDirectory + 4, 0);
    ASSERT_TRUE(library.OpenBytes(b));
    Bytes out;
    EXPECT_FALSE(library.ReadRcData(1700, out));
    EXPECT_EQ(library.LastError(), ResourceError::NotFound);
}

TEST_P(SampleBytes, TruncatedFilesAreRefused) {
    for (size_t cut : {size_t(0), size_t(1), size_t(2), size_t(0x3D), l.pe + 2, l.pe + 10, l.optional + 1,
                       l.optional + 50, l.sectionTable + 20, l.sectionHeader + 39, l.root + 8, good.size() - 1}) {
        ASSERT_LT(cut, good.size());
        EXPECT_FALSE(library.OpenBytes(std::span(good).first(cut))) << "cut at " << cut;
        EXPECT_EQ(library.LastError(), ResourceError::Truncated) << "cut at " << cut;
        EXPECT_FALSE(library.IsOpen());
    }
    // A section whose data runs one byte past the end of the file.
    OpenWith(l.sectionHeader + 16, uint32_t(good.size() - Get32(good, l.sectionHeader + 20) + 1),
             ResourceError::Truncated);
}

TEST_P(SampleBytes, BadSignaturesAreRefused) {
    struct Case { size_t at; uint32_t value; };
    const uint32_t optionalWord = Get32(good, l.optional);
    const Case cases[] = {
        {0, 0x00905A4E},                                   // "NZ"
        {l.pe, 0x01004550},                                // "PE\0\1"
        {l.optional, (optionalWord & 0xFFFF0000) | 0x30B}, // unknown optional header
        {l.pe + 20, (Get32(good, l.pe + 20) & 0xFFFF0000) | 0x40},  // optional header too short
    };
    for (const Case& c : cases) EXPECT_FALSE(OpenWith(c.at, c.value, ResourceError::NotPeFile));
    EXPECT_FALSE(OpenWith(0x3C, 0x7FFFFFF0, ResourceError::Truncated));  // PE header past the end
}

TEST_P(SampleBytes, OffsetsAndSizesPointingOutsideTheSectionAreRefused) {
    const uint32_t logoData = Get32(good, l.Target(logoLanguages, 0));
    const uint32_t toSectionEnd = l.sectionRva + l.sectionExtent - Get32(good, l.root + tableData);
    struct Case { size_t at; uint32_t value; };
    const Case cases[] = {
        {l.resourceDirectory, 0x7FFF0000},                       // root in no section
        {l.root + 12, 0xFFFF0000},                               // root lists 65535 entries
        {l.Target(0, 0), 0x80000000 | (l.treeSize - 8)},         // subdirectory at the section end
        {l.Target(0, 0), 0xFFFFFFF0},                            // subdirectory far past the end
        {l.Entry(rcdata, 0), 0x80000000 | (l.treeSize - 1)},     // name string past the end
        {l.Target(tableLanguages, 0), l.treeSize - 8},           // data entry cut by the section end
        {l.root + logoData, 0xFFFFFFF0},                         // data outside every section
        {l.root + tableData + 4, toSectionEnd + 1},              // data one byte past the section
        {l.root + tableData + 4, 0x7FFFFFFF},                    // data of absurd size
    };
    for (const Case& c : cases) EXPECT_FALSE(OpenWith(c.at, c.value, ResourceError::BadResourceTree));

    // Data that ends exactly at the end of the section is in bounds.
    ASSERT_TRUE(OpenWith(l.root + tableData + 4, toSectionEnd, ResourceError::None));
    Bytes out;
    ASSERT_TRUE(library.ReadRcData(3000, out));
    EXPECT_EQ(out.size(), toSectionEnd);
}

TEST_P(SampleBytes, LoopsSharedAndMisplacedDirectoriesAreRefused) {
    const uint32_t pictureLanguages = SubdirectoryOf(good, l, rcdata, 1700);
    struct Case { size_t at; uint32_t value; };
    const Case cases[] = {
        {l.Target(0, 0), 0x80000000},                              // type level back to the root
        {l.Target(rcdata, 1), 0x80000000 | rcdata},                // name level to its own directory
        {l.Target(rcdata, 1), 0x80000000 | logoLanguages},         // two names share one directory
        {l.Target(0, 0), tableData},                               // data entry at the type level
    };
    for (const Case& c : cases) EXPECT_FALSE(OpenWith(c.at, c.value, ResourceError::BadResourceTree));

    // A fourth level, even where the directory there would pass for a data entry.
    const uint32_t tableRva = Get32(good, l.root + tableData);
    EXPECT_FALSE(OpenWith({{l.Target(logoLanguages, 0), 0x80000000 | pictureLanguages},
                           {l.root + pictureLanguages, tableRva},
                           {l.root + pictureLanguages + 4, 4}},
                          ResourceError::BadResourceTree));
}

INSTANTIATE_TEST_SUITE_P(BothImageKinds, SampleBytes, ::testing::Values("sample-pe32plus.dll", "sample-pe32.dll"));

}  // namespace
}  // namespace orvalink
