// What the editor benchmarks share: a UI that answers every box with OK and
// chooses no file, medians of runs in milliseconds, and the document and
// device they time.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/Flashut.h"
#include "image/DeviceTree.h"
#include "image/Tiflashut.h"
#include "platform/UiServices.h"

namespace orvalink::bench {

using Timer = std::chrono::steady_clock;

struct QuietUi : UiServices {
    MsgAnswer ShowMessage(const MessageRequest&) override { return MsgAnswer::Ok; }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

inline double Millis(Timer::time_point from) {
    return std::chrono::duration<double, std::milli>(Timer::now() - from).count();
}

// DOCUMENT and RUNS from the command line (the staged factory document and
// 20 when not given); false, with a word on stderr, for fewer than 5 runs.
inline bool BenchArguments(int argc, char** argv, const std::string& factoryDocument, std::string& document,
                           int& runs) {
    document = argc > 1 ? argv[1] : factoryDocument;
    runs = argc > 2 ? std::atoi(argv[2]) : 20;
    if (runs >= 5) return true;
    std::fprintf(stderr, "RUNS must be a number of at least 5\n");
    return false;
}

// The document's image into `flash`; false (and why on stderr) when it
// cannot be read.
inline bool LoadDocument(const std::string& document, TTiFlashFm& flash) {
    std::vector<uint8_t> payload;
    VFileHeader header;
    std::string why;
    if (!LoadVFile(document, payload, header, &why) || payload.size() > flash.Image().size()) {
        std::fprintf(stderr, "cannot read %s %s\n", document.c_str(), why.c_str());
        return false;
    }
    std::copy(payload.begin(), payload.end(), flash.Image().begin());
    return true;
}

// The first device named "TV", else the first of the tree; null (and a
// word on stderr) when the document holds none.
inline const DeviceTreeNode* BenchDevice(const std::vector<DeviceTreeNode>& tree) {
    if (tree.empty()) {
        std::fprintf(stderr, "the document holds no device\n");
        return nullptr;
    }
    for (const DeviceTreeNode& node : tree)
        if (node.text == "TV") return &node;
    return &tree.front();
}

}  // namespace orvalink::bench
