// codes import FILE DOC --device NAME [--map FILE] OUT and
// codes export DOC --device NAME --format ir|lirc|pronto OUT: a whole
// device's codes from and into the files the IR community shares.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/TextEscape.h"
#include "editors/core/DeviceCodeImport.h"
#include "formats/Documents.h"
#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "formats/IrSignalFiles.h"
#include "image/DeviceTree.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "tools/cli/CliCommands.h"

namespace orvalink {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr uint16_t kDocumentModel = 2000;
constexpr uint64_t kMapFileMaxBytes = 1 << 20;

const char kImportUsage[] = "codes import FILE DOC --device NAME [--map FILE] OUT";
const char kExportUsage[] = "codes export DOC --device NAME --format ir|lirc|pronto OUT";

int Usage(const std::string& why, const char* usage) {
    std::cerr << "orvalink-cli: " << why << "\n  orvalink-cli " << usage << "\n";
    return kUsageError;
}

// The editor's view of the main window, which the command line has not:
// no clipboard, no device numbers to give out.
class NoClipboard final : public KeyClipboard {
public:
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
};
class NoDeviceNumbers final : public DeviceNumberSource {
public:
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The device NAME stands for: a device number 1..64, "Home", or the name
// the tree shows (case and blanks around it do not count). A name two
// devices share is refused: the number tells them apart.
bool FindDevice(const TTiFlashFm& flash, const std::string& name, int& slot, std::string& label, std::string& error) {
    const std::vector<DeviceTreeNode> tree = BuildDeviceTree(flash);
    if (Lower(Trim(name)) == "home") {
        slot = kHomeSlot;
        label = "Home";
        return true;
    }
    std::vector<const DeviceTreeNode*> found;
    const bool isNumber = !name.empty() && name.size() <= 2 && name.find_first_not_of("0123456789") == std::string::npos;
    for (const DeviceTreeNode& node : tree) {
        const bool fits = isNumber ? std::stoi(name) == node.key.link
                                   : Lower(Trim(DeviceNameText(node.key.label))) == Lower(Trim(name));
        if (fits && (found.empty() || found.front()->key.link != node.key.link)) found.push_back(&node);
    }
    if (found.empty()) {
        error = "the document has no device \"" + EscapeControls(name) + "\" (orvalink-cli devices DOC lists them)";
        return false;
    }
    if (found.size() > 1) {
        error = "more than one device is named \"" + EscapeControls(name) + "\"; give its number:";
        for (const DeviceTreeNode* n : found) error += " " + std::to_string(n->key.link);
        return false;
    }
    slot = found.front()->key.link;
    label = DeviceNameText(found.front()->key.label);
    return true;
}

std::string KeyText(const ImportProposal& proposal, int keyNumber) {
    for (const ImportKey& k : proposal.Keys())
        if (k.keyNumber == keyNumber)
            return "key " + std::to_string(keyNumber) + (k.words.empty() ? "" : " (" + EscapeControls(k.words) + ")");
    return "key " + std::to_string(keyNumber);
}

struct Options {
    std::vector<std::string> files;
    std::optional<std::string> device, map, format;
};

// Options with a value and the positional arguments, in any order.
bool ParseOptions(const std::vector<std::string>& args, bool withMap, bool withFormat, Options& o, std::string& why) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string>* slot = a == "--device"              ? &o.device
                                           : a == "--map" && withMap    ? &o.map
                                           : a == "--format" && withFormat ? &o.format
                                                                         : nullptr;
        if (slot) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return why = a + " needs a value", false;
            if (*slot) return why = a + " given twice", false;
            *slot = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return why = "unknown option " + a, false;
        } else {
            o.files.push_back(a);
        }
    }
    return true;
}

bool LoadDevice(const std::string& doc, const std::string& deviceName, TTiFlashFm& flash, DeviceLayout*& layout,
                std::unique_ptr<DeviceLayout>& holder, std::string& label, NoClipboard& clipboard,
                NoDeviceNumbers& numbers) {
    if (!LoadDocumentImage(doc, flash)) return false;
    int slot = -1;
    std::string error;
    if (!FindDevice(flash, deviceName, slot, label, error)) {
        std::cerr << "orvalink-cli: " << doc << ": " << error << "\n";
        return false;
    }
    holder = std::make_unique<DeviceLayout>(slot, clipboard, numbers);
    if (!holder->Load(flash)) {
        std::cerr << "orvalink-cli: " << doc << ": device " << slot << " cannot be read\n";
        return false;
    }
    layout = holder.get();
    std::cout << "device: " << slot << " " << EscapeControls(label) << "\n";
    return true;
}

int Import(const std::vector<std::string>& args) {
    Options o;
    std::string why;
    if (!ParseOptions(args, true, false, o, why)) return Usage(why, kImportUsage);
    if (o.files.size() != 3 || !o.device) return Usage("import needs FILE, DOC, --device NAME and OUT", kImportUsage);
    const std::string& file = o.files[0];
    const std::string& doc = o.files[1];
    const std::string& out = o.files[2];
    const std::string* inputs[] = {&file, &doc, o.map ? &*o.map : nullptr};
    for (const std::string* in : inputs)
        if (in && IsSameFile(PathFromUtf8(*in), PathFromUtf8(out))) {
            std::cerr << "orvalink-cli: " << SameFileText(*in, out) << "\n";
            return kUsageError;
        }

    std::vector<IrSignal> signals;
    std::string error;
    if (!ReadIrSignalFile(file, signals, error)) {
        std::cerr << "orvalink-cli: " << error << "\n";
        return kFailed;
    }
    TTiFlashFm flash;
    NoClipboard clipboard;
    NoDeviceNumbers numbers;
    std::unique_ptr<DeviceLayout> holder;
    DeviceLayout* layout = nullptr;
    std::string label;
    if (!LoadDevice(doc, *o.device, flash, layout, holder, label, clipboard, numbers)) return kFailed;

    ImportProposal proposal(signals, ImportKeysOf(*layout));
    if (o.map) {
        std::vector<uint8_t> bytes;
        if (!ReadFileBytes(PathFromUtf8(*o.map), bytes, kMapFileMaxBytes, &why)) {
            std::cerr << "orvalink-cli: cannot read " << *o.map << ": " << why << "\n";
            return kFailed;
        }
        if (!ApplyImportMap(std::string(bytes.begin(), bytes.end()), *o.map, signals, proposal, error)) {
            std::cerr << "orvalink-cli: " << EscapeControls(error) << "\n";
            return kFailed;
        }
    }
    const ImportOutcome outcome = ApplyImport(signals, proposal, *layout);
    for (const ImportedCode& w : outcome.written)
        std::cout << "matched: " << EscapeControls(w.signal) << " -> " << KeyText(proposal, w.keyNumber) << "\n";
    for (size_t s : proposal.UnmatchedSignals()) std::cout << "skipped: " << EscapeControls(signals[s].name) << "\n";
    for (const RefusedCode& r : outcome.refused)
        std::cout << "refused: " << EscapeControls(r.signal) << " -> " << KeyText(proposal, r.keyNumber) << ": "
                  << r.reason << "\n";
    for (int k : proposal.UnmatchedKeys()) std::cout << "no signal: " << KeyText(proposal, k) << "\n";
    if (outcome.written.empty()) {
        std::cerr << "orvalink-cli: no code was imported; " << out << " is not written\n";
        return kFailed;
    }
    const SaveOutcome saved = layout->Save(flash);
    if (!saved.ok()) {
        std::cerr << "orvalink-cli: " << saved.reason << "\n";
        return kFailed;
    }
    SystemClock clock;
    Pcg32Random random;
    const DocumentOutcome written = SaveImageAsDocument(flash, kDocumentModel, out, clock, random);
    if (!written.Ok()) return WriteError(out, written.why.empty() ? written.message : written.why);
    std::cout << "document: " << out << "\n";
    return kOk;
}

int Export(const std::vector<std::string>& args) {
    Options o;
    std::string why;
    if (!ParseOptions(args, false, true, o, why)) return Usage(why, kExportUsage);
    if (o.files.size() != 2 || !o.device || !o.format)
        return Usage("export needs DOC, --device NAME, --format and OUT", kExportUsage);
    if (*o.format != "ir" && *o.format != "lirc" && *o.format != "pronto")
        return Usage("--format takes ir, lirc or pronto", kExportUsage);
    const std::string& doc = o.files[0];
    const std::string& out = o.files[1];
    if (IsSameFile(PathFromUtf8(doc), PathFromUtf8(out))) {
        std::cerr << "orvalink-cli: " << SameFileText(doc, out) << "\n";
        return kUsageError;
    }
    TTiFlashFm flash;
    NoClipboard clipboard;
    NoDeviceNumbers numbers;
    std::unique_ptr<DeviceLayout> holder;
    DeviceLayout* layout = nullptr;
    std::string label;
    if (!LoadDevice(doc, *o.device, flash, layout, holder, label, clipboard, numbers)) return kFailed;

    const ExportOutcome exported = ExportDeviceCodes(*layout);
    for (const IrSignal& s : exported.codes) std::cout << "exported: " << EscapeControls(s.name) << "\n";
    for (int k : exported.skipped) std::cout << "skipped: key " << k << " (no IR code)\n";
    if (exported.codes.empty()) {
        std::cerr << "orvalink-cli: the device holds no IR code; " << out << " is not written\n";
        return kFailed;
    }
    const IrFileFormat format = *o.format == "ir"     ? IrFileFormat::Flipper
                                : *o.format == "lirc" ? IrFileFormat::Lirc
                                                      : IrFileFormat::Pronto;
    std::string text, error;
    const bool made = WriteDeviceCodes(format, label, exported.codes, text, error);
    if (!made) {
        std::cerr << "orvalink-cli: " << error << "; " << out << " is not written\n";
        return kFailed;
    }
    if (!ReplaceFileBytes(PathFromUtf8(out),
                          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), &why))
        return WriteError(out, why);
    std::cout << "file: " << out << "\n";
    return kOk;
}

}  // namespace

bool IsDeviceCodesCommand(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "import" || args[0] == "export");
}

int DeviceCodesCommand(const std::vector<std::string>& args) {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    return args[0] == "import" ? Import(rest) : Export(rest);
}

}  // namespace orvalink
