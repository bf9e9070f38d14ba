// Comparing two whole QM-5100 documents, timed against loading both: the
// ratio says what the comparison costs on top of reading the two files it
// cannot do without.
//
// usage: orvalink-compare-bench [DOCUMENT [RUNS]]
//   DOCUMENT  a .vmcf document (default: the staged factory document)
//   RUNS      comparisons to time, at least 5 (default 20); the median counts
// Two pairs are compared: the document with itself (every record read and
// found alike) and the document with a copy in which every soft key of every
// device moved one row down and every tenth page of the code library
// changed (a difference for every key and many regions to name).
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "image/BlockStore.h"
#include "image/ImageCompare.h"
#include "image/KeyRecords.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

// Every soft key one row down and every tenth page of the code library changed.
int Spoil(TTiFlashFm& flash) {
    int keys = 0;
    for (int device = 0; device < kDeviceSlots; ++device)
        for (int key = kHardKeyCount; key < kKeysPerDevice; ++key) {
            KeySlot slot;
            if (!ReadKeySlot(flash, device, key, slot) || !slot.HasKeyRecord()) continue;
            std::span<uint8_t> record = StoreBytes(flash, slot.keyRecord, 1);
            if (record.empty()) continue;
            record[4] = uint8_t((record[4] & 0xF0) | (((record[4] & 0x0F) + 1) & 0x0F));
            ++keys;
        }
    const uint32_t library = flash.CodeLibraryStart();
    for (uint32_t page = 0; page < 1988; page += 10) flash.Image()[library + page * kPageSize + 17] ^= 0x55;
    return keys;
}

}  // namespace

int main(int argc, char** argv) {
    std::string document;
    int runs = 0;
    if (!BenchArguments(argc, argv, std::string(ORVALINK_PROGRAM_DIR) + "/bk/default_.vmcf", document, runs)) return 2;
    TTiFlashFm a, b, spoiled;
    if (!LoadDocument(document, a) || !LoadDocument(document, b) || !LoadDocument(document, spoiled)) return 1;
    const int moved = Spoil(spoiled);

    std::vector<double> loads, same, differing;
    size_t differences = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = Timer::now();
        {
            TTiFlashFm x, y;
            if (!LoadDocument(document, x) || !LoadDocument(document, y)) return 1;
        }
        loads.push_back(Millis(start));

        start = Timer::now();
        const ImageComparison alike = CompareImages(a, b);
        same.push_back(Millis(start));
        if (!alike.Equal()) {
            std::fprintf(stderr, "a document differs from itself\n");
            return 1;
        }

        start = Timer::now();
        differences = CompareImages(a, spoiled).Count();
        differing.push_back(Millis(start));
    }
    const double load = Median(loads);
    std::printf("%s, %d runs; the spoiled copy: %d keys moved, %zu differences\n", document.c_str(), runs, moved,
                differences);
    std::printf("load both documents:           median %.2f ms\n", load);
    std::printf("compare, the same:             median %.2f ms\n", Median(same));
    std::printf("compare, every key differing:  median %.2f ms\n", Median(differing));
    std::printf("ratio compare (same) / load both:      %.2f\n", load > 0 ? Median(same) / load : 0.0);
    std::printf("ratio compare (differing) / load both: %.2f\n", load > 0 ? Median(differing) / load : 0.0);
    return 0;
}
