// Importing a file of 2,000 IR signals into a device of the factory
// document (reading the file's text, decoding, matching signals to keys and
// converting the chosen codes into the device being edited), timed against
// loading the document itself. A second line times converting every one of
// the 2,000 codes into a key, the most an import can convert.
//
// usage: orvalink-device-import-bench [DOCUMENT [RUNS]]
//   DOCUMENT  a .vmcf document (default: the staged factory document)
//   RUNS      imports and loads to time, at least 5 (default 20); the median counts
// The device is the first one named "TV", else the first device of the tree.
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "editors/core/DeviceCodeImport.h"
#include "formats/IrSignalFiles.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

struct NoHost : KeyClipboard, DeviceNumberSource {
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
};

// A Flipper file of `count` signals: every other one parsed NEC, the others
// raw as a Flipper captures them (each duration a little off), under the
// names the collections use, several remotes after each other.
std::string SignalFile(int count) {
    const char* const names[] = {"Power", "Vol_up", "Vol_dn", "Ch_next", "Ch_prev", "Mute", "KEY_1", "KEY_2",
                                 "Num_3", "MENU", "OK", "Up", "Down", "Left", "Right", "Play", "Pause",
                                 "Stop", "Rec", "Input", "Guide", "Info", "Exit", "Netflix"};
    std::string text = "Filetype: IR signals file\nVersion: 1\n";
    char line[64];
    for (int i = 0; i < count; ++i) {
        const unsigned device = unsigned(i / 24) & 0xFF, function = unsigned(i * 7) & 0xFF;
        text += "#\nname: " + std::string(names[i % 24]) + "\n";
        if (i % 2 == 0) {
            std::snprintf(line, sizeof line, "address: %02X 00 00 00\ncommand: %02X 00 00 00\n", device, function);
            text += "type: parsed\nprotocol: NEC\n" + std::string(line);
            continue;
        }
        text += "type: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 9010 4480";
        const unsigned bytes[] = {device, ~device & 0xFF, function, ~function & 0xFF};
        int n = 0;
        for (unsigned b : bytes)
            for (int bit = 0; bit < 8; ++bit, ++n) {
                const int off = (n * 7) % 11 - 5;  // -5..5 percent
                std::snprintf(line, sizeof line, " %d %d", 560 + 560 * off / 100,
                              ((b >> bit) & 1 ? 1690 : 560) * (100 - off) / 100);
                text += line;
            }
        text += " 565\n";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string document;
    int runs = 0;
    if (!BenchArguments(argc, argv, std::string(ORVALINK_PROGRAM_DIR) + "/bk/default_.vmcf", document, runs)) return 2;
    TTiFlashFm flash;
    if (!LoadDocument(document, flash)) return 1;
    const std::vector<DeviceTreeNode> tree = BuildDeviceTree(flash);
    const DeviceTreeNode* device = BenchDevice(tree);
    if (!device) return 1;
    const int slot = device->key.link;
    const std::string file = SignalFile(2000);
    NoHost host;

    std::vector<double> loads, imports, conversions;
    size_t signalCount = 0, written = 0, converted = 0;
    for (int run = 0; run < runs; ++run) {
        {
            TTiFlashFm other;
            const auto start = Timer::now();
            if (!LoadDocument(document, other)) return 1;
            loads.push_back(Millis(start));
        }
        DeviceLayout layout(slot, host, host);
        if (!layout.Load(flash)) return 1;
        std::vector<IrSignal> signals;
        std::string error;
        auto start = Timer::now();
        if (!ParseFlipperIr(file, "bench.ir", signals, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const ImportProposal proposal(signals, ImportKeysOf(layout));
        const ImportOutcome outcome = ApplyImport(signals, proposal, layout);
        imports.push_back(Millis(start));
        signalCount = signals.size();
        written = outcome.written.size();

        start = Timer::now();
        converted = 0;
        KeyInfo key = DefaultKey();
        for (const IrSignal& s : signals) converted += StoreSignalCode(s, key, error);
        conversions.push_back(Millis(start));
    }
    const double load = Median(loads), import = Median(imports), convert = Median(conversions);
    std::printf("document load (baseline): median %.2f ms over %d runs\n", load, runs);
    std::printf("import of %zu signals into device %d (%zu codes written): median %.2f ms, %.2f x the load\n",
                signalCount, slot, written, import, import / load);
    std::printf("converting all %zu codes (%zu held): median %.2f ms, %.2f x the load\n", signalCount, converted,
                convert, convert / load);
    return 0;
}
