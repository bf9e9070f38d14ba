// orvalink-cli diff: what differs between two configurations of a QM-5100
// remote, each a document or a raw memory image.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "base/TextEscape.h"
#include "formats/Documents.h"
#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "image/ImageCompare.h"
#include "image/Tiflashut.h"
#include "tools/cli/CliCommands.h"

namespace orvalink {

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDiffer = 1;
constexpr int kExitBadInput = 2;

// A raw image is the whole flash (4096 pages) or the bytes a document keeps of it.
bool IsRawImageSize(size_t size) { return size == 4096 * kPageSize || size == kDocumentImageBytes; }

// `path` into `flash`: a QM-5100 family document, else a raw image. Prints
// why not and returns false when it is neither.
bool LoadSide(const std::string& path, TTiFlashFm& flash) {
    const DocumentOutcome outcome = LoadDocumentIntoImage(path, flash, DocumentRule::FamilyDocument);
    if (outcome.Ok()) return true;
    std::vector<uint8_t> bytes;
    std::string why;
    if (outcome.kind == DocumentResult::Unreadable &&
        ReadFileBytes(PathFromUtf8(path), bytes, 4096 * kPageSize, &why) && IsRawImageSize(bytes.size())) {
        std::copy(bytes.begin(), bytes.end(), flash.Image().begin());
        flash.ContentsReplaced();
        return true;
    }
    if (!outcome.why.empty()) std::cerr << "orvalink-cli: " << path << ": " << outcome.why << "\n";
    else if (!why.empty()) std::cerr << "orvalink-cli: " << path << ": " << why << "\n";
    if (!outcome.message.empty()) std::cerr << outcome.message << "\n";
    std::cerr << "orvalink-cli: " << path << ": not a QM-5100 document or memory image\n";
    return false;
}

}  // namespace

int DiffCommand(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            std::cerr << "orvalink-cli: unknown option " << a << "\n";
            return kExitBadInput;
        }
        files.push_back(a);
    }
    if (files.size() != 2 || files[0].empty() || files[1].empty()) {
        std::cerr << "orvalink-cli: diff takes two files: diff A B\n";
        return kExitBadInput;
    }
    TTiFlashFm a, b;
    if (!LoadSide(files[0], a) || !LoadSide(files[1], b)) return kExitBadInput;
    const ImageComparison comparison = CompareImages(a, b);
    if (comparison.Equal()) {
        std::cout << "no differences\n";
        return kExitSame;
    }
    // Labels and names come from the files: control bytes are shown escaped.
    for (const std::string& line : ComparisonLines(comparison)) std::cout << EscapeControls(line) << "\n";
    const size_t n = comparison.Count();
    std::cout << n << (n == 1 ? " difference\n" : " differences\n");
    return kExitDiffer;
}

}  // namespace orvalink
