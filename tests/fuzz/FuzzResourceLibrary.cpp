// Feeds arbitrary bytes to the PE resource reader as a library and reads the
// resources the program asks for. Whatever the bytes, Open and Read must
// return (true or false) without reading outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/ResourceLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvalink::ResourceLibrary library;
    if (!library.OpenBytes({data, size})) {
        if (library.IsOpen()) std::abort();
        return 0;
    }
    static constexpr uint16_t kIds[] = {1700, 1701, 1702, 2000, 2001, 1001, 1010, 0x0BB8, 0, 0xFFFF};
    std::vector<uint8_t> out;
    for (uint16_t id : kIds) {
        if (library.ReadRcData(id, out) && out.size() > size) std::abort();
    }
    // Other types: cursors, icons, strings and a user-defined one.
    for (uint16_t type : {uint16_t(1), uint16_t(3), uint16_t(6), uint16_t(400)}) library.Read(type, 1, out);
    library.Close();
    if (library.IsOpen() || library.ReadRcData(1700, out)) std::abort();
    return 0;
}
