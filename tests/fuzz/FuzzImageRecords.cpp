// Fills the device pages, block map and block store of an image with the
// input (repeated to fill them) and runs the key and device operations over
// two of its devices. Nothing may be read or written outside the image.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/DeviceBundle.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "fuzz/FuzzRepeat.h"

using namespace orvalink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    auto img = flash.Image();
    std::fill(img.begin(), img.end(), uint8_t(0xFF));
    if (size == 0) return 0;
    const size_t from = flash.DevicePagesStart();
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    fuzz::FillRepeated(img.subspan(from, to - from), {data, size});

    // Two devices the input picks (every slot, 66 the one past the last,
    // can be picked) go through the key and device operations. Each device
    // page holds the input from a different offset, so one input reaches the
    // same code in any of them; sweeping all 67 made every input 30 times as
    // slow for no code the fuzzer could not reach otherwise.
    const int picked[] = {data[0] % 67, data[size / 2] % 67};
    for (int d : picked) {
        for (int k = 0; k <= 64; ++k) {
            KeyInfo key;
            if (ReadKey(flash, d, k, key)) {
                std::string text;
                int n = 0;
                LabelToText(key.label, text, n);
            }
        }
        KeyStyleTables styles;
        styles.type.fill(0xFF);
        styles.page.fill(0xFF);
        KeyStyles(flash, d, styles);
        DeviceBundle bundle;
        KeyInfo deviceKey = DefaultKey();
        CopyDeviceOut(flash, d, deviceKey, bundle);
        std::vector<uint8_t> flat;
        if (PackDevice(bundle, flat)) {
            DeviceBundle back;
            UnpackDevice(flat, back);
        }
    }
    DeviceBundle fromInput;
    if (UnpackDevice({data, size}, fromInput)) PasteDeviceIn(flash, fromInput, data[0] % 66);
    DeleteDeviceTree(flash, data[size - 1] % 67);
    ClearDeviceKeys(flash, data[size / 2] % 67);
    return 0;
}
