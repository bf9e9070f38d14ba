// Opening a device's layout editor on the factory document, timed against
// drawing the same keys with DrawKey alone: the ratio says what the window
// (reading the device, its widgets, trees and LCD picture) costs on top of
// the drawing it cannot avoid.
//
// usage: orvalink-editor-bench [DOCUMENT [RUNS]]
//   DOCUMENT  a .vmcf document (default: the staged factory document)
//   RUNS      opens and draws to time, at least 5 (default 20); the median counts
// The device is the first one named "TV", else the first device of the tree.
#include <QApplication>
#include <QImage>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "editors/Softlcdut.h"
#include "image/BlockStore.h"
#include "image/KeyGeometry.h"
#include "image/qt/KeyDrawing.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

struct Host : KeyClipboard, DeviceNumberSource, LayoutHost {
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
    void DeviceStored(int) override {}
    CodeFill FillDeviceFromCode(int, uint16_t) override { return CodeFill::Failed; }
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

    QuietUi ui;
    Host host;
    LayoutEditorServices services{flash, ui, host, host, host, nullptr, nullptr, nullptr, ORVALINK_PROGRAM_DIR};

    // The keys as the editor holds them, for the baseline.
    DeviceLayout layout(slot, host, host);
    layout.Load(flash);
    std::vector<KeyInfo> keys;
    for (size_t i = 0; i < layout.KeyCount(); ++i) keys.push_back(layout.KeyAt(i).info);

    std::vector<double> opens, draws, loads;
    for (int run = 0; run < runs; ++run) {
        auto start = Timer::now();
        for (const KeyInfo& k : keys) {
            const EditorRect r = KeyRect(k);
            QImage picture(r.width, r.height, QImage::Format_RGB32);
            picture.fill(Qt::white);
            DrawKey(flash, k, kStateNormal, picture);
        }
        draws.push_back(Millis(start));

        start = Timer::now();
        {
            TSoftLCDFm editor(services, slot, ModeNormal, QString::fromStdString(device->text), device->key);
            const auto made = Timer::now();
            editor.LoadDevice();
            opens.push_back(Millis(start));
            loads.push_back(Millis(made));
        }
    }
    const double open = Median(opens);
    const double draw = Median(draws);
    std::printf("device %d (%s), %zu keys, %d runs\n", slot, device->text.c_str(), keys.size(), runs);
    std::printf("open the layout editor:   median %.2f ms\n", open);
    std::printf("  of which loading the device into it: median %.2f ms\n", Median(loads));
    std::printf("DrawKey of the same keys: median %.2f ms\n", draw);
    std::printf("ratio open / DrawKey: %.2f\n", draw > 0 ? open / draw : 0.0);
    return 0;
}
