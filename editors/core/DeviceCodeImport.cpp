#include "editors/core/DeviceCodeImport.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <set>

#include "editors/core/KeyCodeSources.h"
#include "editors/core/KeyEditing.h"
#include "image/IrDecoder.h"
#include "image/LabelWords.h"
#include "image/LearnedCodes.h"
#include "image/Pronto.h"

namespace orvalink {

namespace {

bool TakesIrCode(const KeyInfo& key) { return key.keyType == kKeyIrCode; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<int> NumberOf(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Lower case with '_' read as a blank: a label as a map file spells it.
std::string LowerWithBlanks(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '_' ? ' ' : (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return out;
}

}  // namespace

std::string ImportKeyName(const ImportKey& key) {
    const std::string number = "Key " + std::to_string(key.keyNumber);
    return key.words.empty() ? number : number + " \u2014 " + key.words;
}

std::vector<ImportKey> ImportKeysOf(const DeviceLayout& layout) {
    std::vector<ImportKey> keys;
    if (layout.IsMacroDevice()) return keys;
    for (size_t i = 0; i < layout.KeyCount(); ++i) {
        const KeyInfo& info = layout.KeyAt(i).info;
        if (!TakesIrCode(info)) continue;
        ImportKey k;
        k.keyNumber = info.keyNumber;
        k.words = LabelWords(info.label);
        k.function = FunctionOfName(k.words);
        k.hasCode = HasKeyCode(info);
        keys.push_back(std::move(k));
    }
    std::sort(keys.begin(), keys.end(), [](const ImportKey& a, const ImportKey& b) { return a.keyNumber < b.keyNumber; });
    return keys;
}

std::string SignalProtocolText(const IrSignal& signal) {
    const std::optional<IrDecoded> decoded = SignalProtocol(signal);
    return decoded ? DecodedText(*decoded) : std::string();
}

// ---------------------------------------------------------------------------

ImportProposal::ImportProposal(const std::vector<IrSignal>& signals, std::vector<ImportKey> keys)
    : keys_(std::move(keys)), keyOfSignal_(signals.size(), kNoTargetKey) {
    std::set<int> taken;
    std::vector<std::string> names(signals.size());
    std::vector<KeyFunction> functions(signals.size());
    for (size_t s = 0; s < signals.size(); ++s) {
        names[s] = CompactKeyName(signals[s].name);
        functions[s] = FunctionOfName(signals[s].name);
    }
    auto match = [&](auto fits) {
        for (size_t s = 0; s < signals.size(); ++s) {
            if (keyOfSignal_[s] != kNoTargetKey) continue;
            for (const ImportKey& k : keys_) {
                if (taken.count(k.keyNumber) || !fits(s, k)) continue;
                keyOfSignal_[s] = k.keyNumber;
                taken.insert(k.keyNumber);
                break;
            }
        }
    };
    match([&](size_t s, const ImportKey& k) { return !names[s].empty() && names[s] == CompactKeyName(k.words); });
    match([&](size_t s, const ImportKey& k) { return functions[s] != KeyFunction::None && functions[s] == k.function; });
}

const ImportKey* ImportProposal::FindKey(int keyNumber) const {
    for (const ImportKey& k : keys_)
        if (k.keyNumber == keyNumber) return &k;
    return nullptr;
}

int ImportProposal::KeyOf(size_t signal) const {
    return signal < keyOfSignal_.size() ? keyOfSignal_[signal] : kNoTargetKey;
}

int ImportProposal::SignalOf(int keyNumber) const {
    if (keyNumber == kNoTargetKey) return -1;
    for (size_t s = 0; s < keyOfSignal_.size(); ++s)
        if (keyOfSignal_[s] == keyNumber) return int(s);
    return -1;
}

bool ImportProposal::Assign(size_t signal, int keyNumber) {
    if (signal >= keyOfSignal_.size()) return false;
    if (keyNumber != kNoTargetKey && !FindKey(keyNumber)) return false;
    const int holder = SignalOf(keyNumber);
    if (holder >= 0) keyOfSignal_[size_t(holder)] = kNoTargetKey;
    keyOfSignal_[signal] = keyNumber;
    return true;
}

std::vector<size_t> ImportProposal::UnmatchedSignals() const {
    std::vector<size_t> out;
    for (size_t s = 0; s < keyOfSignal_.size(); ++s)
        if (keyOfSignal_[s] == kNoTargetKey) out.push_back(s);
    return out;
}

std::vector<int> ImportProposal::UnmatchedKeys() const {
    std::vector<int> out;
    for (const ImportKey& k : keys_)
        if (SignalOf(k.keyNumber) < 0) out.push_back(k.keyNumber);
    return out;
}

std::vector<std::pair<size_t, int>> ImportProposal::Pairs() const {
    std::vector<std::pair<size_t, int>> out;
    for (size_t s = 0; s < keyOfSignal_.size(); ++s)
        if (keyOfSignal_[s] != kNoTargetKey) out.emplace_back(s, keyOfSignal_[s]);
    return out;
}

// ---------------------------------------------------------------------------

bool ApplyImportMap(std::string_view text, std::string_view fileName, const std::vector<IrSignal>& signals,
                    ImportProposal& proposal, std::string& error) {
    ImportProposal changed = proposal;
    size_t lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const size_t blank = line.find_last_of(" \t");
        if (blank == std::string_view::npos) return fail("a line is \"SIGNAL KEY\"");
        const std::string_view signalName = Trimmed(line.substr(0, blank));
        const std::string_view keyText = line.substr(blank + 1);
        const auto signal = std::find_if(signals.begin(), signals.end(),
                                         [&](const IrSignal& s) { return s.name == signalName; });
        if (signal == signals.end()) return fail("the file holds no signal \"" + std::string(signalName) + "\"");
        int keyNumber = kNoTargetKey;
        if (keyText != "-") {
            // A number names the key; a label names the key whose label
            // it spells ('_' for blanks), else the first whose label comes
            // to the same compact name ("vol_up" and the key "Vol+").
            const std::optional<int> number = NumberOf(keyText);
            const std::string spelled = LowerWithBlanks(keyText);
            const std::string compact = CompactKeyName(keyText);
            const auto& keys = changed.Keys();
            auto key = std::find_if(keys.begin(), keys.end(), [&](const ImportKey& k) {
                return number ? k.keyNumber == *number : LowerWithBlanks(k.words) == spelled;
            });
            if (!number && key == keys.end())
                key = std::find_if(keys.begin(), keys.end(), [&](const ImportKey& k) {
                    return !compact.empty() && CompactKeyName(k.words) == compact;
                });
            if (key == keys.end())
                return fail("the device has no key \"" + std::string(keyText) + "\" that takes an IR code");
            keyNumber = key->keyNumber;
        }
        changed.Assign(size_t(signal - signals.begin()), keyNumber);
    }
    proposal = std::move(changed);
    return true;
}

// ---------------------------------------------------------------------------

bool StoreSignalCode(const IrSignal& signal, KeyInfo& key, std::string& reason) {
    KeyCodeCandidate held;
    const KeyCodeOutcome outcome = CodeFromSignal(signal, key, held);
    if (!outcome.Ok()) {
        reason = outcome.reason;
        return false;
    }
    IrCodeInfo stored;
    KeyInfo changed = key;
    if (!StoreLearnedCode(held.learned, changed, stored)) {
        reason = "The code does not fit into a key's code blocks.";
        return false;
    }
    if (changed.keyType == kKeyIrCode) changed.flags |= kFlagHasCode;
    key = changed;
    return true;
}

ImportOutcome ApplyImport(const std::vector<IrSignal>& signals, const ImportProposal& proposal, DeviceLayout& layout) {
    ImportOutcome out;
    std::vector<LayoutKey> changed;
    for (const auto& [s, keyNumber] : proposal.Pairs()) {
        if (s >= signals.size()) continue;
        const IrSignal& signal = signals[s];
        const LayoutKey* key = layout.FindKey(keyNumber);
        if (!key || !TakesIrCode(key->info)) {
            out.refused.push_back({signal.name, keyNumber, "the device has no IR code key " + std::to_string(keyNumber)});
            continue;
        }
        LayoutKey target = *key;
        std::string reason;
        if (!StoreSignalCode(signal, target.info, reason)) {
            out.refused.push_back({signal.name, keyNumber, reason});
            continue;
        }
        changed.push_back(std::move(target));
        out.written.push_back({signal.name, keyNumber});
    }
    if (changed.empty()) return out;
    layout.BeginUndoGroup();
    for (const LayoutKey& key : changed) layout.ReplaceKey(key);
    layout.EndUndoGroup();
    return out;
}

// ---------------------------------------------------------------------------

ExportOutcome ExportDeviceCodes(const DeviceLayout& layout) {
    ExportOutcome out;
    std::vector<const KeyInfo*> keys;
    for (size_t i = 0; i < layout.KeyCount(); ++i)
        if (TakesIrCode(layout.KeyAt(i).info)) keys.push_back(&layout.KeyAt(i).info);
    std::sort(keys.begin(), keys.end(), [](const KeyInfo* a, const KeyInfo* b) { return a->keyNumber < b->keyNumber; });
    std::set<std::string> used;
    for (const KeyInfo* key : keys) {
        IrCodeInfo code;
        if (!KeyIrCode(*key, code)) {
            out.skipped.push_back(key->keyNumber);
            continue;
        }
        IrSignal signal;
        // A name every format keeps as it is: letters, digits and "+-_./".
        for (char c : LabelWords(key->label)) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                              std::string_view("+-_./").find(c) != std::string_view::npos;
            signal.name += kept ? c : '_';
        }
        if (signal.name.empty()) signal.name = "Key_" + std::to_string(key->keyNumber);
        if (!used.insert(signal.name).second) {
            signal.name += "_" + std::to_string(key->keyNumber);
            used.insert(signal.name);
        }
        signal.code = ProntoOfCode(code);
        signal.decoded = DecodeIr(signal.code.once);
        out.codes.push_back(std::move(signal));
    }
    return out;
}

IrFileFormat ExportFormatOf(std::string_view path, int filterIndex) {
    if (const std::optional<IrFileFormat> named = ExportFormatOfPath(path)) return *named;
    return filterIndex == 2 ? IrFileFormat::Lirc : filterIndex == 3 ? IrFileFormat::Pronto : IrFileFormat::Flipper;
}

bool WriteDeviceCodes(IrFileFormat format, std::string_view deviceName, const std::vector<IrSignal>& irSignals,
                      std::string& text, std::string& error) {
    std::string remote;
    for (char c : deviceName) remote += (c == ' ' || c == '\t') ? '_' : c;
    return ExportText(format, remote.empty() ? "device" : remote, irSignals, text, error);
}

}  // namespace orvalink
