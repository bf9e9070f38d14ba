// Feeds arbitrary bytes to the PE resource reader as a library, from memory
// and as a file, and reads the resources the program asks for. Whatever the
// bytes, Open and Read must return (true or false) without reading outside
// the input, and the file must give what the same bytes in memory give.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/FuzzFolder.h"
#include "platform/ResourceLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const orvalink::fuzz::FuzzFolder folder("orvalink-fuzz-resource-library");
    orvalink::ResourceLibrary library;
    orvalink::ResourceLibrary fromFile;
    const bool fileOpened = fromFile.Open(folder.Write("model.dll", {data, size}).string());
    if (!library.OpenBytes({data, size})) {
        if (library.IsOpen() || fileOpened) std::abort();
        return 0;
    }
    if (!fileOpened) std::abort();
    static constexpr uint16_t kIds[] = {1700, 1701, 1702, 2000, 2001, 1001, 1010, 0x0BB8, 0, 0xFFFF};
    std::vector<uint8_t> out;
    for (uint16_t id : kIds) {
        const bool read = library.ReadRcData(id, out);
        if (read && out.size() > size) std::abort();
        std::vector<uint8_t> again;
        if (fromFile.ReadRcData(id, again) != read || (read && again != out)) std::abort();
    }
    // Other types: cursors, icons, strings and a user-defined one.
    for (uint16_t type : {uint16_t(1), uint16_t(3), uint16_t(6), uint16_t(400)}) library.Read(type, 1, out);
    library.Close();
    if (library.IsOpen() || library.ReadRcData(1700, out)) std::abort();
    return 0;
}
