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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editors/Btnut.h"
#include "editors/core/DeviceLayout.h"
#include "formats/Flashut.h"
#include "image/BlockStore.h"
#include "image/DeviceTree.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/UiServices.h"

using namespace orvalink;
using Timer = std::chrono::steady_clock;

namespace {

struct QuietUi : UiServices {
    MsgAnswer ShowMessage(const MessageRequest&) override { return MsgAnswer::Ok; }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

struct Host : KeyClipboard, DeviceNumberSource {
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Millis(Timer::time_point from) {
    return std::chrono::duration<double, std::milli>(Timer::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string document = argc > 1 ? argv[1] : std::string(ORVALINK_PROGRAM_DIR) + "/bk/default_.vmcf";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    if (runs < 5) {
        std::fprintf(stderr, "RUNS must be a number of at least 5\n");
        return 2;
    }
    TTiFlashFm flash;
    std::vector<uint8_t> payload;
    VFileHeader header;
    std::string why;
    if (!LoadVFile(document, payload, header, &why) || payload.size() > flash.Image().size()) {
        std::fprintf(stderr, "cannot read %s %s\n", document.c_str(), why.c_str());
        return 1;
    }
    std::copy(payload.begin(), payload.end(), flash.Image().begin());

    const std::vector<DeviceTreeNode> tree = BuildDeviceTree(flash);
    if (tree.empty()) {
        std::fprintf(stderr, "the document holds no device\n");
        return 1;
    }
    const DeviceTreeNode* device = &tree.front();
    for (const DeviceTreeNode& node : tree)
        if (node.text == "TV") {
            device = &node;
            break;
        }
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
