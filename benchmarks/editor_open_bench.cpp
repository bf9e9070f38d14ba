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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editors/Softlcdut.h"
#include "formats/Flashut.h"
#include "image/BlockStore.h"
#include "image/DeviceTree.h"
#include "image/KeyGeometry.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"
#include "platform/UiServices.h"

using namespace orvalink;
using Timer = std::chrono::steady_clock;

namespace {

struct QuietUi : UiServices {
    MsgAnswer ShowMessage(const MessageRequest&) override { return MsgAnswer::Ok; }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

struct Host : KeyClipboard, DeviceNumberSource, LayoutHost {
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
    void DeviceStored(int) override {}
    CodeFill FillDeviceFromCode(int, uint16_t) override { return CodeFill::Failed; }
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
