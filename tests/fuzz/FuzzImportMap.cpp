// Random text as the map file of a device code import ("SIGNAL KEY" lines)
// over a fixed proposal: signals whose names hold a blank, a digit or a
// dash, keys whose labels are a number, empty or come to the same compact
// name.
//
// Whatever the text: a refused map leaves the proposal as it was and names
// the file and a line of it; an accepted one gives every key to at most one
// signal, and only keys the device has. The result written back as a map
// reads as itself, and two lines of comment before the text change nothing
// but the line a refusal names.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editors/core/DeviceCodeImport.h"
#include "editors/core/KeyFunctions.h"

using namespace orvalink;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

std::vector<IrSignal> Signals() {
    std::vector<IrSignal> signals;
    for (const char* name : {"KEY_POWER", "KEY_VOLUMEUP", "Vol+", "tv power", "Netflix", "Weird", "1", "-", "vol_up"}) {
        IrSignal s;
        s.name = name;
        signals.push_back(std::move(s));
    }
    return signals;
}

std::vector<ImportKey> Keys() {
    std::vector<ImportKey> keys;
    const struct {
        int number;
        const char* words;
    } kKeys[] = {{0, "power"}, {1, "vol up"}, {2, "Vol+"}, {6, ""}, {7, "1"}, {9, "guide"}, {12, "mute"}, {63, "netflix"}};
    for (const auto& k : kKeys) {
        ImportKey key;
        key.keyNumber = k.number;
        key.words = k.words;
        key.function = FunctionOfName(key.words);
        keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<int> KeysOf(const ImportProposal& p, size_t signals) {
    std::vector<int> out;
    for (size_t s = 0; s < signals; ++s) out.push_back(p.KeyOf(s));
    return out;
}

// "map.txt:N: why" -> N, or 0.
size_t LineOf(const std::string& error) {
    const std::string_view prefix = "map.txt:";
    if (error.compare(0, prefix.size(), prefix) != 0) return 0;
    size_t n = 0, i = prefix.size();
    for (; i < error.size() && error[i] >= '0' && error[i] <= '9'; ++i) n = n * 10 + size_t(error[i] - '0');
    return i < error.size() && error[i] == ':' ? n : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<IrSignal> signals = Signals();
    static const ImportProposal proposed(signals, Keys());
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<int> before = KeysOf(proposed, signals.size());

    ImportProposal p = proposed;
    std::string error;
    const bool ok = ApplyImportMap(text, "map.txt", signals, p, error);
    const std::vector<int> after = KeysOf(p, signals.size());

    // Two lines of comment first: the same outcome, the refusal two lines on.
    ImportProposal q = proposed;
    std::string error2;
    const bool ok2 = ApplyImportMap("# the living room\n\n" + std::string(text), "map.txt", signals, q, error2);
    Check(ok2 == ok && KeysOf(q, signals.size()) == after);

    if (!ok) {
        Check(after == before);
        const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
        const size_t line = LineOf(error);
        Check(line >= 1 && line <= lines);
        Check(LineOf(error2) == line + 2);
        Check(error.substr(error.find(':', 8)) == error2.substr(error2.find(':', 8)));
        return 0;
    }

    std::vector<bool> taken(64, false);
    for (size_t s = 0; s < signals.size(); ++s) {
        const int key = after[s];
        if (key == kNoTargetKey) continue;
        Check(key >= 0 && key < 64 && !taken[size_t(key)]);
        taken[size_t(key)] = true;
        bool known = false;
        for (const ImportKey& k : p.Keys()) known = known || k.keyNumber == key;
        Check(known && p.SignalOf(key) == int(s));
    }
    Check(p.Pairs().size() + p.UnmatchedSignals().size() == signals.size());

    // The result as a map of its own, read over the first proposal.
    std::string map;
    for (size_t s = 0; s < signals.size(); ++s)
        map += signals[s].name + " " + (after[s] == kNoTargetKey ? std::string("-") : std::to_string(after[s])) + "\n";
    ImportProposal again = proposed;
    std::string error3;
    Check(ApplyImportMap(map, "map.txt", signals, again, error3));
    Check(KeysOf(again, signals.size()) == after);
    return 0;
}
