// Opening Button Properties on the key with the longest IR code and drawing
// its code page (the code text, the protocol, the waveform chart), timed
// against opening the same key with its code taken away: the ratio says what
// showing the code costs a user who opens a learned key.
//
// usage: orvalink-key-editor-bench [DOCUMENT [RUNS]]
//   DOCUMENT  a .vmcf document (default: the staged factory document)
//   RUNS      opens of each key to time, at least 5 (default 20); the median counts
// The device is the first one named "TV", else the first device of the tree.
#include <QApplication>
#include <QImage>
#include <QTabWidget>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "editors/Btnut.h"
#include "editors/core/DeviceLayout.h"
#include "image/BlockStore.h"
#include "image/KeyRecords.h"
#include "platform/Random.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

struct Host : KeyClipboard, DeviceNumberSource {
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string document;
    int runs = 0;
    if (!BenchArguments(argc, argv, std::string(ORVALINK_PROGRAM_DIR) + "/bk/default_.vmcf", document, runs)) return 2;
    TTiFlashFm flash;
    if (!LoadDocument(document, flash)) return 1;
    const std::vector<DeviceTreeNode> tree = BuildDeviceTree(flash);
    const DeviceTreeNode* device = BenchDevice(tree);
    if (!device) return 1;
    const int slot = device->key.link;

    Host host;
    DeviceLayout layout(slot, host, host);
    layout.Load(flash);
    const LayoutKey* coded = nullptr;
    for (size_t i = 0; i < layout.KeyCount(); ++i) {  // the longest code: the most to draw
        const LayoutKey& k = layout.KeyAt(i);
        if (k.info.keyType == kKeyIrCode && k.info.codeBlockCount > 0 &&
            (!coded || k.info.codeBlockCount > coded->info.codeBlockCount))
            coded = &k;
    }
    if (!coded) {
        std::fprintf(stderr, "device %d has no IR code key\n", slot);
        return 1;
    }
    LayoutKey bare = *coded;  // the same key as a freshly made one holds no code
    bare.info.codeBlockCount = 0;
    bare.info.codeBlocks.fill(0xFF);

    QuietUi ui;
    Pcg32Random random(1);
    TBtnFm btn(BtnServices{flash, ui, random, nullptr, {}, {}, {}, {}});
    btn.resize(btn.sizeHint());
    QTabWidget* pages = btn.Pages();
    KeyEditContext context;
    context.device = slot;

    // Opens the key on the code page and paints the window as the screen
    // would.
    auto open = [&](const LayoutKey& key) {
        const auto start = Timer::now();
        btn.OpenKey(key, context);
        if (pages) pages->setCurrentIndex(1);
        const QImage shot = btn.grab().toImage();
        const double ms = Millis(start);
        btn.m_CancelBtnClick();
        return shot.isNull() ? -1.0 : ms;
    };
    open(*coded);  // the first open builds the chart's fonts and caches
    std::vector<double> codeOpens, bareOpens;
    for (int run = 0; run < runs; ++run) {
        codeOpens.push_back(open(*coded));
        bareOpens.push_back(open(bare));
    }
    const double withCode = Median(codeOpens);
    const double without = Median(bareOpens);
    std::printf("device %d (%s), key %d with %d code blocks, %d runs\n", slot, device->text.c_str(),
                coded->Number(), coded->info.codeBlockCount, runs);
    std::printf("open and paint the code page, key with its code: median %.2f ms\n", withCode);
    std::printf("open and paint the code page, same key, no code: median %.2f ms\n", without);
    std::printf("ratio with code / without: %.2f\n", without > 0 ? withCode / without : 0.0);
    return 0;
}
