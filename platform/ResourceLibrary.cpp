#include "platform/ResourceLibrary.h"

#include <fstream>
#include <set>
#include <utility>

#include "base/ByteIo.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace orvalink {

const char* ResourceErrorText(ResourceError error) {
    switch (error) {
        case ResourceError::None: return "no error";
        case ResourceError::NotOpen: return "no resource library is open";
        case ResourceError::CannotOpenFile: return "the library file cannot be read";
        case ResourceError::NotPeFile: return "the file is not a Windows library";
        case ResourceError::Truncated: return "the library file is cut short";
        case ResourceError::BadResourceTree: return "the library's resource directory is damaged";
        case ResourceError::NotFound: return "the library holds no such resource";
    }
    return "unknown error";
}

namespace {

// PE layout constants, as Microsoft documents the PE/COFF format.
constexpr uint16_t kDosMagic = 0x5A4D;            // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;     // "PE\0\0"
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kCoffHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceDirectoryIndex = 2;
// Resource directory entries: the high bit of the name field marks a name
// string, the high bit of the target field a subdirectory.
constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
// Type, name and language: data entries sit at the third level.
constexpr int kTreeLevels = 3;
// Bound on the work one file can ask for; real libraries hold a few dozen.
constexpr size_t kMaxTreeEntries = 65536;

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t extent = 0;  // bytes of the section that come from the file
    uint32_t fileOffset = 0;
};

// The section whose file-backed part holds rva (an empty range may sit at its
// very end), or null.
const Section* SectionOf(const std::vector<Section>& sections, uint32_t rva, bool empty) {
    for (const Section& s : sections) {
        if (rva < s.virtualAddress) continue;
        uint64_t into = uint64_t(rva) - s.virtualAddress;
        if (into < s.extent || (empty && into == s.extent)) return &s;
    }
    return nullptr;
}

// Maps [rva, rva + size) to a file offset when it lies inside the file-backed
// part of one section.
bool MapRva(const std::vector<Section>& sections, uint32_t rva, uint32_t size, size_t& fileOffset) {
    const Section* s = SectionOf(sections, rva, size == 0);
    if (!s) return false;
    uint64_t into = uint64_t(rva) - s->virtualAddress;
    if (uint64_t(size) > s->extent - into) return false;
    fileOffset = size_t(s->fileOffset + into);
    return true;
}

// Walks the resource tree once, checking every directory, entry, name string
// and data entry, and lists the resources whose type, number and language are
// all integers.
class TreeWalker {
public:
    TreeWalker(std::span<const uint8_t> file, std::span<const uint8_t> tree,
               const std::vector<Section>& sections, std::vector<ResourceLibrary::Entry>& out)
        : file_(file), tree_(tree), sections_(sections), out_(out) {}

    bool Walk(uint32_t directory, int level) {
        // Every directory is read once: a second visit means a loop or a
        // directory shared between branches, neither of which a linker makes.
        if (!visited_.insert(directory).second) return false;
        ByteReader r(tree_);
        r.Seek(directory);
        r.Skip(12);  // characteristics, time stamp, version
        uint32_t count = uint32_t(r.U16()) + r.U16();
        if (!r.ok() || uint64_t(count) * kDirectoryEntrySize > r.remaining()) return false;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t name = r.U32();
            uint32_t target = r.U32();
            if (++entries_ > kMaxTreeEntries) return false;
            bool named = (name & kHighBit) != 0;
            if (named && !CheckName(name & ~kHighBit)) return false;
            path_[level] = name;
            named_[level] = named;
            bool isDirectory = (target & kHighBit) != 0;
            if (level + 1 < kTreeLevels) {
                if (!isDirectory || !Walk(target & ~kHighBit, level + 1)) return false;
            } else {
                if (isDirectory || !ReadDataEntry(target)) return false;
            }
        }
        return r.ok();
    }

private:
    // A name is a 16-bit count followed by that many UTF-16 units.
    bool CheckName(uint32_t offset) const {
        ByteReader r(tree_);
        r.Seek(offset);
        r.Skip(size_t(r.U16()) * 2);
        return r.ok();
    }

    bool ReadDataEntry(uint32_t offset) {
        ByteReader r(tree_);
        r.Seek(offset);
        uint32_t rva = r.U32();
        uint32_t size = r.U32();
        r.Skip(8);  // code page, reserved
        if (!r.ok()) return false;
        size_t fileOffset = 0;
        if (!MapRva(sections_, rva, size, fileOffset)) return false;
        if (fileOffset > file_.size() || size > file_.size() - fileOffset) return false;
        if (!named_[0] && !named_[1] && !named_[2])
            out_.push_back({path_[0], path_[1], path_[2], fileOffset, size});
        return true;
    }

    std::span<const uint8_t> file_;
    std::span<const uint8_t> tree_;
    const std::vector<Section>& sections_;
    std::vector<ResourceLibrary::Entry>& out_;
    std::set<uint32_t> visited_;
    size_t entries_ = 0;
    uint32_t path_[kTreeLevels] = {};
    bool named_[kTreeLevels] = {};
};

// Checks the headers of a PE file and lists its resources.
ResourceError ParsePe(std::span<const uint8_t> file, std::vector<ResourceLibrary::Entry>& out) {
    ByteReader r(file);
    if (r.U16() != kDosMagic) return r.ok() ? ResourceError::NotPeFile : ResourceError::Truncated;
    r.Seek(kLfanewOffset);
    uint32_t peOffset = r.U32();
    r.Seek(peOffset);
    uint32_t signature = r.U32();
    if (!r.ok()) return ResourceError::Truncated;
    if (signature != kPeSignature) return ResourceError::NotPeFile;

    r.Skip(2);  // machine
    uint16_t sectionCount = r.U16();
    r.Skip(12);  // time stamp, symbol table, symbol count
    uint16_t optionalSize = r.U16();
    r.Skip(2);  // characteristics
    if (!r.ok()) return ResourceError::Truncated;

    // Optional header: only the magic and the resource directory matter here.
    size_t optionalStart = size_t(peOffset) + 4 + kCoffHeaderSize;
    uint16_t magic = r.U16();
    if (!r.ok()) return ResourceError::Truncated;
    size_t directoriesAt;
    if (magic == kPe32Magic) directoriesAt = 96;
    else if (magic == kPe32PlusMagic) directoriesAt = 112;
    else return ResourceError::NotPeFile;
    if (optionalSize < directoriesAt) return ResourceError::NotPeFile;
    r.Seek(optionalStart + directoriesAt - 4);
    uint32_t directoryCount = r.U32();
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
    if (directoryCount > kResourceDirectoryIndex) {
        size_t entryEnd = directoriesAt + (kResourceDirectoryIndex + 1) * 8;
        if (optionalSize < entryEnd) return ResourceError::NotPeFile;
        r.Seek(optionalStart + directoriesAt + kResourceDirectoryIndex * 8);
        resourceRva = r.U32();
        resourceSize = r.U32();
    }
    if (!r.ok()) return ResourceError::Truncated;

    // Section table; every section's file data must lie inside the file.
    size_t sectionTable = optionalStart + optionalSize;
    std::vector<Section> sections;
    sections.reserve(sectionCount);
    for (uint16_t i = 0; i < sectionCount; ++i) {
        r.Seek(sectionTable + size_t(i) * kSectionHeaderSize);
        r.Skip(8);  // name
        uint32_t virtualSize = r.U32();
        uint32_t virtualAddress = r.U32();
        uint32_t rawSize = r.U32();
        uint32_t rawOffset = r.U32();
        if (!r.ok()) return ResourceError::Truncated;
        if (uint64_t(rawOffset) + rawSize > file.size()) return ResourceError::Truncated;
        uint32_t extent = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
        sections.push_back({virtualAddress, extent, rawOffset});
    }

    out.clear();
    if (resourceRva == 0 && resourceSize == 0) return ResourceError::None;  // no resources

    // The tree's own offsets count from the root directory and stay inside
    // the section that holds it.
    const Section* home = SectionOf(sections, resourceRva, false);
    size_t rootOffset = 0;
    if (!home || !MapRva(sections, resourceRva, kDirectoryHeaderSize, rootOffset))
        return ResourceError::BadResourceTree;
    size_t treeEnd = size_t(home->fileOffset) + home->extent;
    std::span<const uint8_t> tree = file.subspan(rootOffset, treeEnd - rootOffset);
    TreeWalker walker(file, tree, sections, out);
    if (!walker.Walk(0, 0)) {
        out.clear();
        return ResourceError::BadResourceTree;
    }
    return ResourceError::None;
}

#if !defined(_WIN32)
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length < 0 || uint64_t(length) > kMaxResourceLibraryBytes) return false;
    in.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (length > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), length)) return false;
    out = std::move(bytes);
    return true;
}
#else
std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

struct FirstLanguage {
    WORD language = 0;
    bool found = false;
};

BOOL CALLBACK TakeFirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    auto* first = reinterpret_cast<FirstLanguage*>(param);
    first->language = language;
    first->found = true;
    return FALSE;  // the first one is enough
}
#endif

}  // namespace

ResourceLibrary::ResourceLibrary() = default;

ResourceLibrary::~ResourceLibrary() { Close(); }

bool ResourceLibrary::Open(const std::string& path) {
#if defined(_WIN32)
    std::wstring wide = Widen(path);
    if (wide.empty()) return Fail(ResourceError::CannotOpenFile);
    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        return Fail(GetLastError() == ERROR_BAD_EXE_FORMAT ? ResourceError::NotPeFile
                                                           : ResourceError::CannotOpenFile);
    }
    Close();
    module_ = module;
    lastError_ = ResourceError::None;
    return true;
#else
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return Fail(ResourceError::CannotOpenFile);
    return Adopt(std::move(bytes));
#endif
}

bool ResourceLibrary::OpenBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxResourceLibraryBytes) return Fail(ResourceError::CannotOpenFile);
    return Adopt(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool ResourceLibrary::Adopt(std::vector<uint8_t> bytes) {
    std::vector<Entry> entries;
    ResourceError error = ParsePe(bytes, entries);
    if (error != ResourceError::None) return Fail(error);
    Close();
    bytes_ = std::move(bytes);
    entries_ = std::move(entries);
    parsedOpen_ = true;
    lastError_ = ResourceError::None;
    return true;
}

void ResourceLibrary::Close() {
    CloseSystemModule();
    bytes_.clear();
    bytes_.shrink_to_fit();
    entries_.clear();
    parsedOpen_ = false;
}

void ResourceLibrary::CloseSystemModule() {
#if defined(_WIN32)
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
#endif
    module_ = nullptr;
}

bool ResourceLibrary::IsOpen() const { return parsedOpen_ || module_ != nullptr; }

bool ResourceLibrary::Read(uint16_t type, uint16_t id, std::vector<uint8_t>& out) const {
#if defined(_WIN32)
    if (module_) {
        HMODULE module = static_cast<HMODULE>(module_);
        LPCWSTR typeName = MAKEINTRESOURCEW(type);
        LPCWSTR idName = MAKEINTRESOURCEW(id);
        FirstLanguage first;
        EnumResourceLanguagesW(module, typeName, idName, TakeFirstLanguage,
                               reinterpret_cast<LONG_PTR>(&first));
        HRSRC info = first.found ? FindResourceExW(module, typeName, idName, first.language) : nullptr;
        if (!info) return Fail(ResourceError::NotFound);
        HGLOBAL handle = LoadResource(module, info);
        DWORD size = SizeofResource(module, info);
        const void* data = handle ? LockResource(handle) : nullptr;
        if (!data && size != 0) return Fail(ResourceError::NotFound);
        const uint8_t* begin = static_cast<const uint8_t*>(data);
        out.assign(begin, begin + size);
        lastError_ = ResourceError::None;
        return true;
    }
#endif
    if (!parsedOpen_) return Fail(ResourceError::NotOpen);
    for (const Entry& e : entries_) {
        if (e.type != type || e.id != id) continue;
        ByteReader r(bytes_);
        r.Seek(e.offset);
        std::span<const uint8_t> data = r.View(e.size);
        if (!r.ok()) return Fail(ResourceError::BadResourceTree);
        out.assign(data.begin(), data.end());
        lastError_ = ResourceError::None;
        return true;
    }
    return Fail(ResourceError::NotFound);
}

}  // namespace orvalink
