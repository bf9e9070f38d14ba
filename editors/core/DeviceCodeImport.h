// A whole device's IR codes in and out of a file of shared IR codes: which
// signal of the file goes to which key of the device (proposed by name and
// function, changed by the user), the chosen codes written into the device
// being edited as one undoable step, and the device's codes as named
// signals for the file writers.
//
// Nothing here touches the memory image: an import changes the editor's
// private copy of the device, which reaches the image on Save.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "editors/core/DeviceLayout.h"
#include "editors/core/KeyFunctions.h"
#include "formats/IrSignalFiles.h"

namespace orvalink {

inline constexpr int kNoTargetKey = -1;

// A key of the device that can hold an IR code: an IR code key (soft or
// hard).
struct ImportKey {
    int keyNumber = -1;
    std::string words;  // the label as the LCD shows it, icons read as words
    KeyFunction function = KeyFunction::None;
    bool hasCode = false;
};

// The key as the layout editor's key list names it: "Key 6 — power".
std::string ImportKeyName(const ImportKey& key);

// The keys of the device an import can write, in key-number order.
std::vector<ImportKey> ImportKeysOf(const DeviceLayout& layout);

// "NEC 4 / 8", "NEC extended 4.1 / 8" as the file states it or the code
// decodes; empty when neither tells.
std::string SignalProtocolText(const IrSignal& signal);

// Which signal goes to which key. Each key takes at most one signal.
class ImportProposal {
public:
    ImportProposal() = default;
    // Proposes, in the file's order: a signal whose name is the key's label
    // ("Netflix" to the key labelled "NETFLIX") first, then one whose
    // function is the key's ("KEY_VOLUMEUP" to the key showing "vol up").
    // A key that two signals fit goes to the first of them.
    ImportProposal(const std::vector<IrSignal>& irSignals, std::vector<ImportKey> keys);

    const std::vector<ImportKey>& Keys() const { return keys_; }
    size_t SignalCount() const { return keyOfSignal_.size(); }
    // The key number signal `signal` goes to, or kNoTargetKey.
    int KeyOf(size_t signal) const;
    // The signal a key takes, or -1.
    int SignalOf(int keyNumber) const;

    // The user's choice: `signal` to `keyNumber` (kNoTargetKey: to no key).
    // A signal that held the key before loses it. False, and nothing
    // changes, for a signal or key the proposal does not have.
    bool Assign(size_t signal, int keyNumber);

    std::vector<size_t> UnmatchedSignals() const;
    std::vector<int> UnmatchedKeys() const;
    // The chosen pairs, in the file's order of the signals.
    std::vector<std::pair<size_t, int>> Pairs() const;

private:
    const ImportKey* FindKey(int keyNumber) const;
    std::vector<ImportKey> keys_;
    std::vector<int> keyOfSignal_;
};

// A map file's lines "SIGNAL KEY" applied to the proposal, each overriding
// it: the last word of a line is the key (a key number, a key's label with
// '_' for blanks such as "vol_up", or "-" for no key), the words before it
// the signal's name. Blank lines and lines starting with '#' are skipped.
// Fails, with `error` naming the file and line and the proposal untouched,
// for a signal the file does not hold or a key the device does not have.
bool ApplyImportMap(std::string_view text, std::string_view fileName, const std::vector<IrSignal>& irSignals,
                    ImportProposal& proposal, std::string& error);

struct ImportedCode {
    std::string signal;
    int keyNumber = -1;
};
struct RefusedCode {
    std::string signal;
    int keyNumber = -1;
    std::string reason;  // why the remote cannot hold the code
};
struct ImportOutcome {
    std::vector<ImportedCode> written;
    std::vector<RefusedCode> refused;
};

// The signal's code as the key's IR code, through the remote's learned form
// as Button Properties' "Import code…" takes it (CodeFromSignal: measured
// durations a little apart are taken as one where the form needs it). False,
// with `reason` set and the key untouched, for a code the remote cannot hold.
bool StoreSignalCode(const IrSignal& signal, KeyInfo& key, std::string& reason);

// Writes the chosen pairs into the device being edited as one undo step
// (none when nothing was written). A code the remote cannot hold is refused
// with its reason and the others still go in.
ImportOutcome ApplyImport(const std::vector<IrSignal>& irSignals, const ImportProposal& proposal, DeviceLayout& layout);

// ---- Export.
struct ExportOutcome {
    std::vector<IrSignal> codes;  // one per IR code key holding a code, in key-number order
    std::vector<int> skipped;       // IR code keys without a code (or with one that does not read)
};
// The device's codes as signals, each named after its key's label with
// '_' for blanks and every other character but letters, digits and "+-_./"
// ("vol_up", "TV_power", "16_9"; "Key_12" for a key without a label;
// a name two keys share gets "_" and the key number), decoded where the
// decoder knows the protocol.
ExportOutcome ExportDeviceCodes(const DeviceLayout& layout);

// The file dialogs' filters: every file an import reads, and the three an
// export writes (1 Flipper, 2 LIRC, 3 Pronto Hex list).
inline constexpr const char* kIrCodeFilesFilter =
    "IR code files (*.ir;*.conf;*.lircd;*.txt)|*.ir;*.conf;*.lircd;*.txt|All Files (*.*)|*.*";
inline constexpr const char* kIrExportFilter =
    "Flipper IR files (*.ir)|*.ir|LIRC files (*.conf)|*.conf|Pronto Hex lists (*.txt)|*.txt";
// The format an export writes: by the file's extension (ExportFormatOfPath:
// ".ir", ".conf", ".txt"), else by the filter chosen in kIrExportFilter.
IrFileFormat ExportFormatOf(std::string_view path, int filterIndex);
// The text of the file (ExportText): a Flipper file, a lircd.conf of one
// remote named after the device (blanks as '_'), or a Pronto Hex list.
// Fails with the writer's reason.
bool WriteDeviceCodes(IrFileFormat format, std::string_view deviceName, const std::vector<IrSignal>& irSignals,
                      std::string& text, std::string& error);

}  // namespace orvalink
