// Resources of a resource-only DLL: the pictures in model.dll and the layout
// templates and code table in dev_model.dll.
//
// A ResourceLibrary opens one library at a time, hands out copies of its
// resources by integer type and integer number, and closes it. On Windows a
// library opened by path is mapped by the system loader as a data file; a
// library opened from bytes, and every library on other systems, is read by
// our own reader of the PE resource section, which checks every offset and
// size against the file and refuses the whole file when anything in its
// headers or its resource tree is out of place.
//
// Nothing here throws. A failed Open leaves the library that was open (if any)
// open and unchanged; a failed Read leaves its output untouched. LastError()
// says why the last Open or Read failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvalink {

// Resource type numbers used by the program.
inline constexpr uint16_t kResourceTypeRcData = 10;  // raw data (RT_RCDATA)

// Largest library file the reader accepts.
inline constexpr size_t kMaxResourceLibraryBytes = size_t(64) << 20;

enum class ResourceError {
    None,
    NotOpen,          // Read with no library open
    CannotOpenFile,   // missing, unreadable or larger than kMaxResourceLibraryBytes
    NotPeFile,        // no "MZ" or "PE\0\0" signature, or an unknown optional header
    Truncated,        // the headers or a section's data run past the end of the file
    BadResourceTree,  // an offset or size of the resource tree points outside its section,
                      // a directory is reached twice (a loop) or the tree is too deep
    NotFound,         // the library holds no resource of that type and number
};

// A short English description of an error, for logs and diagnostics.
const char* ResourceErrorText(ResourceError error);

class ResourceLibrary {
public:
    ResourceLibrary();
    ~ResourceLibrary();
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;

    // Opens the library file at path (UTF-8). On success any library open
    // before is closed first.
    bool Open(const std::string& path);
    // Opens a library held in memory; the bytes are copied.
    bool OpenBytes(std::span<const uint8_t> bytes);
    void Close();
    bool IsOpen() const;

    // Copies the resource of the given type and number into out. When the
    // resource exists in several languages, the first language in the file
    // is taken. Types and numbers given by name are not reachable here.
    bool Read(uint16_t type, uint16_t id, std::vector<uint8_t>& out) const;
    // Shorthand for a raw-data resource.
    bool ReadRcData(uint16_t id, std::vector<uint8_t>& out) const {
        return Read(kResourceTypeRcData, id, out);
    }

    ResourceError LastError() const { return lastError_; }

    // Where one resource's data lies in the library's bytes.
    struct Entry {
        uint32_t type = 0;
        uint32_t id = 0;
        uint32_t language = 0;
        size_t offset = 0;
        size_t size = 0;
    };

private:
    bool Fail(ResourceError error) const {
        lastError_ = error;
        return false;
    }
    bool Adopt(std::vector<uint8_t> bytes);
    void CloseSystemModule();

    // Library read by our own reader: its bytes and the resources found in
    // them, in file order.
    std::vector<uint8_t> bytes_;
    std::vector<Entry> entries_;
    bool parsedOpen_ = false;
    // Library mapped by the system loader (Windows only).
    void* module_ = nullptr;

    mutable ResourceError lastError_ = ResourceError::None;
};

}  // namespace orvalink
