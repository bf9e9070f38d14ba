#include "editors/core/KeyCodeSources.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "editors/core/KeyEditing.h"
#include "image/IrWaveform.h"
#include "image/LabelWords.h"

namespace orvalink {

namespace {

constexpr unsigned kPanasonicVendor = 0x2002;

// Durations within an eighth of the first of their group are one duration,
// their rounded mean. Marks and spaces are grouped apart.
constexpr double kSameDurationShare = 0.125;

std::vector<uint32_t> GroupedDurations(const std::vector<uint32_t>& of) {
    std::vector<uint32_t> sorted = of;
    std::sort(sorted.begin(), sorted.end());
    std::map<uint32_t, uint32_t> mean;  // each duration -> the mean of its group
    for (size_t start = 0; start < sorted.size();) {
        size_t end = start;
        double sum = 0;
        while (end < sorted.size() && sorted[end] <= sorted[start] + sorted[start] * kSameDurationShare)
            sum += sorted[end++];
        const auto m = uint32_t(std::lround(sum / double(end - start)));
        for (size_t i = start; i < end; ++i) mean[sorted[i]] = m;
        start = end;
    }
    std::vector<uint32_t> out;
    out.reserve(of.size());
    for (uint32_t v : of) out.push_back(mean[v]);
    return out;
}

// The code with near-equal marks and near-equal spaces made equal. The last
// space of a frame is its gap and is left as it is.
ProntoCode WithGroupedDurations(const ProntoCode& code) {
    std::vector<uint32_t> marks, spaces;
    for (const auto* frame : {&code.once, &code.repeat})
        for (size_t i = 0; i < frame->size(); ++i) {
            marks.push_back((*frame)[i].mark);
            if (i + 1 < frame->size()) spaces.push_back((*frame)[i].space);
        }
    const std::vector<uint32_t> m = GroupedDurations(marks);
    const std::vector<uint32_t> s = GroupedDurations(spaces);
    ProntoCode out = code;
    size_t mi = 0, si = 0;
    for (auto* frame : {&out.once, &out.repeat})
        for (size_t i = 0; i < frame->size(); ++i) {
            (*frame)[i].mark = m[mi++];
            if (i + 1 < frame->size()) (*frame)[i].space = s[si++];
        }
    return out;
}

bool SameNumbers(const IrDecoded& a, const IrDecoded& b) {
    return a.kind == b.kind && a.device == b.device && a.subDevice == b.subDevice && a.function == b.function &&
           (a.kind != IrProtocolKind::Kaseikyo || a.vendor == b.vendor);
}

// The code through the learned form and the stored record into a copy of
// the key's code blocks.
KeyCodeOutcome HoldOnKey(const ProntoCode& pronto, const KeyInfo& key, bool groupWhenNeeded, KeyCodeCandidate& out) {
    KeyCodeCandidate c;
    c.pronto = pronto;
    std::string error;
    if (!LearnedOfPronto(c.pronto, c.learned, error)) {
        ProntoCode grouped;
        if (groupWhenNeeded) grouped = WithGroupedDurations(pronto);
        std::string second;
        if (!groupWhenNeeded || grouped == pronto || !LearnedOfPronto(grouped, c.learned, second))
            return {KeyCodeRefusal::NotLearnable, error};
        c.pronto = grouped;
    }
    KeyInfo copy = key;
    if (!StoreLearnedCode(c.learned, copy, c.stored))
        return {KeyCodeRefusal::NotStorable, "The code does not fit into a key's code blocks."};
    c.decoded = DecodeIr(MarksAndSpaces(c.stored));
    out = std::move(c);
    return {};
}

}  // namespace

std::vector<IrDecoded> MakeableProtocols() {
    std::vector<IrDecoded> out;
    for (IrProtocolKind kind :
         {IrProtocolKind::Nec, IrProtocolKind::NecExtended, IrProtocolKind::Samsung, IrProtocolKind::Jvc,
          IrProtocolKind::Sirc12, IrProtocolKind::Sirc15, IrProtocolKind::Sirc20, IrProtocolKind::Rc5,
          IrProtocolKind::Rc6, IrProtocolKind::Kaseikyo}) {
        IrDecoded d;
        d.kind = kind;
        if (kind == IrProtocolKind::Kaseikyo) d.vendor = kPanasonicVendor;
        out.push_back(d);
    }
    return out;
}

IrEncodeRequest MakeRequest(const IrDecoded& protocol, unsigned device, unsigned subDevice, unsigned function,
                            bool toggle) {
    const IrNumberRanges ranges = IrRangesOf(protocol.kind);
    IrEncodeRequest r;
    r.numbers.kind = protocol.kind;
    r.numbers.vendor = protocol.vendor;
    r.numbers.device = device;
    if (ranges.hasSubDevice) r.numbers.subDevice = subDevice;
    r.numbers.function = function;
    r.toggle = ranges.hasToggle && toggle;
    return r;
}

KeyCodeOutcome CodeFromNumbers(const IrEncodeRequest& request, const KeyInfo& key, KeyCodeCandidate& out) {
    ProntoCode made;
    std::string error;
    if (!EncodeIr(request, made, error)) return {KeyCodeRefusal::Numbers, error};
    KeyCodeCandidate c;
    KeyCodeOutcome held = HoldOnKey(made, key, false, c);
    if (!held.Ok()) return held;
    // The remote keeps the code in its own form: what that form reads as is
    // what the key will send.
    if (!c.decoded || !SameNumbers(*c.decoded, request.numbers))
        return {KeyCodeRefusal::ReadsOtherwise,
                "The code the remote would hold reads as " + (c.decoded ? DecodedText(*c.decoded) : "no protocol") +
                    ", not " + DecodedText(request.numbers) + "."};
    out = std::move(c);
    return {};
}

KeyCodeOutcome CodeFromSignal(const IrSignal& signal, const KeyInfo& key, KeyCodeCandidate& out) {
    return HoldOnKey(signal.code, key, true, out);
}

std::string DecodedText(const IrDecoded& d) {
    std::string text = IrProtocolName(d) + " " + std::to_string(d.device);
    if (d.subDevice) text += "." + std::to_string(*d.subDevice);
    return text + " / " + std::to_string(d.function);
}

std::optional<IrDecoded> SignalProtocol(const IrSignal& signal) {
    if (signal.decoded) return signal.decoded;
    return DecodeIr(signal.code.once.empty() ? signal.code.repeat : signal.code.once);
}

std::optional<IrFileFormat> ExportFormatOfPath(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto endsWith = [&](std::string_view end) {
        return name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
    };
    if (endsWith(".ir")) return IrFileFormat::Flipper;
    if (endsWith(".conf")) return IrFileFormat::Lirc;
    if (endsWith(".txt")) return IrFileFormat::Pronto;
    return std::nullopt;
}

std::string SignalNameOfKey(const KeyInfo& key) {
    const size_t length = std::min<size_t>(key.labelLength, key.label.size());
    const std::string words = LabelWords(std::span<const uint8_t>(key.label.data(), length));
    std::string name;
    for (unsigned char c : words) {
        const bool keep = std::isalnum(c) != 0;
        if (keep)
            name += char(c);
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "KEY_" + std::to_string(key.keyNumber) : name;
}

KeyCodeOutcome KeySignal(const KeyInfo& key, const std::string& name, IrSignal& out) {
    IrCodeInfo code;
    if (!KeyIrCode(key, code)) return {KeyCodeRefusal::NoCode, "The key has no IR code."};
    IrSignal s;
    s.name = name;
    s.code = ProntoOfCode(code);
    if (s.code.once.empty() && s.code.repeat.empty()) return {KeyCodeRefusal::NoCode, "The key has no IR code."};
    s.decoded = DecodeIr(s.code.once);
    out = std::move(s);
    return {};
}

bool ExportText(IrFileFormat format, std::string_view remoteName, const std::vector<IrSignal>& list,
                std::string& text, std::string& error) {
    switch (format) {
        case IrFileFormat::Flipper: return WriteFlipperIr(list, text, error);
        case IrFileFormat::Lirc: return WriteLircConf(remoteName, list, text, error);
        case IrFileFormat::Pronto: return WriteProntoList(list, text, error);
        case IrFileFormat::Durations: break;
    }
    error = "Codes are not written as duration lists.";
    return false;
}

}  // namespace orvalink
