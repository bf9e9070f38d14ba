#include "image/IrEncoder.h"

#include <cctype>
#include <span>

#include "image/IrWaveform.h"

namespace orvalink {

namespace {

// Pulse-distance protocols: symbol 0 is a zero bit, 1 a one bit, 2 the
// leader, 3 the stop mark with the gap after it; further entries per protocol.
enum : uint8_t { kZero = 0, kOne = 1, kLead = 2, kStop = 3 };

// The longest space a timing entry holds; gaps beyond it are cut to it (any
// receiver has long since seen the frame end).
constexpr uint32_t kLongestSpace = 0xFFFF;

// Frame periods of the bit-coded protocols, in half-bit units: RC-5 repeats
// every 64 bits (113.8 ms), RC-6 every 240 units (106.7 ms).
constexpr uint32_t kRc5PeriodUnits = 128;
constexpr uint32_t kRc6PeriodUnits = 240;

// Appends `count` bits of `value`, least significant first, as symbols
// `zero` and `one`; or most significant first as the bits themselves.
void PutLsbFirst(std::vector<uint8_t>& out, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(((value >> i) & 1) ? kOne : kZero);
}
void PutMsbFirst(std::vector<uint8_t>& out, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(uint8_t((value >> i) & 1));
}

std::string Text(unsigned n) { return std::to_string(n); }

// Checks the numbers against the protocol's ranges; the message names the
// protocol and the number that does not fit.
bool CheckNumbers(const IrDecoded& n, std::string& error) {
    const IrNumberRanges r = IrRangesOf(n.kind);
    const std::string name = IrProtocolName(n);
    if (n.device > r.maxDevice) {
        error = name + " device " + Text(n.device) + " is above " + Text(r.maxDevice);
        return false;
    }
    if (n.subDevice && !r.hasSubDevice) {
        error = name + " has no sub-device";
        return false;
    }
    if (!n.subDevice && r.hasSubDevice && n.kind != IrProtocolKind::Samsung) {
        error = name + " needs a sub-device";
        return false;
    }
    if (n.subDevice && *n.subDevice > r.maxSubDevice) {
        error = name + " sub-device " + Text(*n.subDevice) + " is above " + Text(r.maxSubDevice);
        return false;
    }
    if (n.function > r.maxFunction) {
        error = name + " function " + Text(n.function) + " is above " + Text(r.maxFunction);
        return false;
    }
    if (n.vendor != 0 && !r.hasVendor) {
        error = name + " has no vendor";
        return false;
    }
    if (n.vendor > r.maxVendor && r.hasVendor) {
        error = name + " vendor " + Text(n.vendor) + " is above " + Text(r.maxVendor);
        return false;
    }
    return true;
}

void Nec(const IrDecoded& n, IrSymbolFrames& f) {
    // 562.5 us units: 9 ms + 4.5 ms leader, 40 ms after the stop mark (a
    // 108 ms frame period), and the repeat frame of 9 ms + 2.25 ms.
    f.carrierHz = 38000;
    f.timings = {{560, 560}, {560, 1690}, {9000, 4500}, {560, 40000}, {9000, 2250}, {560, kLongestSpace}};
    const unsigned high = n.kind == IrProtocolKind::Nec ? (~n.device & 0xFF) : *n.subDevice;
    f.first.push_back(kLead);
    PutLsbFirst(f.first, n.device | (high << 8), 16);
    PutLsbFirst(f.first, n.function | ((~n.function & 0xFF) << 8), 16);
    f.first.push_back(kStop);
    f.repeat = {4, 5};
}

void Samsung(const IrDecoded& n, IrSymbolFrames& f) {
    f.carrierHz = 38000;
    f.timings = {{560, 560}, {560, 1690}, {4500, 4500}, {560, 46000}};
    f.first.push_back(kLead);
    PutLsbFirst(f.first, n.device | (n.subDevice.value_or(n.device) << 8), 16);
    PutLsbFirst(f.first, n.function | ((~n.function & 0xFF) << 8), 16);
    f.first.push_back(kStop);
}

void Jvc(const IrDecoded& n, IrSymbolFrames& f) {
    // 526 us units, 8.4 ms + 4.2 ms leader on the first frame only.
    f.carrierHz = 38000;
    f.timings = {{526, 526}, {526, 1574}, {8400, 4200}, {526, 22000}};
    PutLsbFirst(f.repeat, n.device, 8);
    PutLsbFirst(f.repeat, n.function, 8);
    f.repeat.push_back(kStop);
    f.first.push_back(kLead);
    f.first.insert(f.first.end(), f.repeat.begin(), f.repeat.end());
}

// Sony: 2.4 ms leader, 600 us units, one bit = a mark of 1 or 2 units and a
// one-unit space, 45 ms from frame to frame. The last bit's space is the
// gap, so it has entries of its own.
void Sirc(const IrDecoded& n, IrSymbolFrames& f) {
    const int bits = n.kind == IrProtocolKind::Sirc12 ? 12 : n.kind == IrProtocolKind::Sirc15 ? 15 : 20;
    const uint32_t gap = uint32_t(45000 - (3000 + 1500 * bits));
    f.carrierHz = 40000;
    f.timings = {{600, 600}, {1200, 600}, {2400, 600}, {600, gap}, {1200, gap}};
    std::vector<uint8_t> frame{kLead};
    PutLsbFirst(frame, n.function, 7);
    PutLsbFirst(frame, n.device, bits == 15 ? 8 : 5);
    if (bits == 20) PutLsbFirst(frame, *n.subDevice, 8);
    frame.back() = frame.back() == kOne ? 4 : 3;
    // A Sony device acts on a command it has seen at least three times.
    for (int i = 0; i < 3; ++i) f.first.insert(f.first.end(), frame.begin(), frame.end());
}

void Rc5(const IrDecoded& n, bool toggle, IrSymbolFrames& f) {
    // Start bit, field bit (the inverted function bit 6 of RC-5X), toggle,
    // 5 device bits and 6 function bits, most significant first.
    f.codeType = kCodeRc5;
    f.carrierHz = 36000;
    f.timings = {{889, 889}};
    f.first.push_back(1);
    f.first.push_back(n.function < 64 ? 1 : 0);
    f.first.push_back(toggle ? 1 : 0);
    PutMsbFirst(f.first, n.device, 5);
    PutMsbFirst(f.first, n.function & 0x3F, 6);
}

void Rc6(const IrDecoded& n, bool toggle, IrSymbolFrames& f) {
    // Start bit, mode 0 (3 bits), trailer (toggle) bit, 8 device bits and
    // 8 function bits, most significant first.
    f.codeType = kCodeRc6;
    f.carrierHz = 36000;
    f.timings = {{444, 444}};
    f.first.push_back(1);
    PutMsbFirst(f.first, 0, 3);
    f.first.push_back(toggle ? 1 : 0);
    PutMsbFirst(f.first, n.device, 8);
    PutMsbFirst(f.first, n.function, 8);
}

// Kaseikyo: 432 us units, 3.5 ms + 1.7 ms leader, 48 bits least significant
// first: the vendor, device, sub-device, function and the XOR of those three.
void Kaseikyo(const IrDecoded& n, IrSymbolFrames& f) {
    f.carrierHz = 37000;
    f.timings = {{432, 432}, {432, 1296}, {3456, 1728}, {432, kLongestSpace}};
    const unsigned sub = *n.subDevice;
    f.first.push_back(kLead);
    const unsigned bytes[6] = {n.vendor & 0xFF, n.vendor >> 8, n.device, sub, n.function,
                               n.device ^ sub ^ n.function};
    for (unsigned b : bytes) PutLsbFirst(f.first, b, 8);
    f.first.push_back(kStop);
}

// The stored record of one code in the code-set form, so that its marks
// and spaces are those the remote plays from such a record.
IrCodeInfo RecordOf(const IrSymbolFrames& f) {
    IrCodeInfo c;
    c.codeType = f.codeType;
    c.timingCount = uint8_t(f.timings.size());
    c.timingBytes = uint16_t(4 * f.timings.size());
    for (size_t e = 0; e < f.timings.size(); ++e) {
        uint8_t* t = c.data.data() + 4 * e;
        t[0] = uint8_t(f.timings[e].mark), t[1] = uint8_t(f.timings[e].mark >> 8);
        t[2] = uint8_t(f.timings[e].space), t[3] = uint8_t(f.timings[e].space >> 8);
    }
    const int width = ImpliedSymbolWidth(c.codeType, c.timingCount);
    c.symbolWidth = uint8_t(width);
    const std::span<uint8_t> packed(c.data.data() + c.timingBytes, c.data.size() - c.timingBytes);
    size_t at = 0;
    for (uint8_t s : f.first) PutSymbol(packed, at++, width, s);
    for (uint8_t s : f.repeat) PutSymbol(packed, at++, width, s);
    c.firstCount = uint8_t(f.first.size());
    c.repeatCount = f.repeat.empty() ? kNoRepeat : uint8_t(f.repeat.size());
    return c;
}

// A bit-coded frame ends on its last half bit; its last space becomes the
// gap to the next frame, `period` from the start of this one.
void EndFrame(std::vector<IrPulse>& frame, uint32_t period) {
    if (frame.empty()) return;
    uint64_t before = 0;
    for (const IrPulse& p : frame) before += uint64_t(p.mark) + p.space;
    before -= frame.back().space;
    frame.back().space = before < period ? uint32_t(period - before) : frame.back().space;
}

std::string Squeezed(std::string_view name) {
    std::string s;
    for (char c : name)
        if (c != ' ' && c != '-' && c != '_') s += char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

IrNumberRanges IrRangesOf(IrProtocolKind kind) {
    switch (kind) {
    case IrProtocolKind::Nec: return {255, false, 0, 255, false};
    case IrProtocolKind::NecExtended: return {255, true, 255, 255, false};
    case IrProtocolKind::Samsung: return {255, true, 255, 255, false};
    case IrProtocolKind::Jvc: return {255, false, 0, 255, false};
    case IrProtocolKind::Sirc12: return {31, false, 0, 127, false};
    case IrProtocolKind::Sirc15: return {255, false, 0, 127, false};
    case IrProtocolKind::Sirc20: return {31, true, 255, 127, false};
    case IrProtocolKind::Rc5: return {31, false, 0, 127, true};
    case IrProtocolKind::Rc6: return {255, false, 0, 255, true};
    case IrProtocolKind::Kaseikyo: return {255, true, 255, 255, false, true, 0xFFFF};
    }
    return {};
}

bool EncodeIrSymbols(const IrEncodeRequest& request, IrSymbolFrames& frames, std::string& error) {
    const IrDecoded& n = request.numbers;
    if (!CheckNumbers(n, error)) return false;
    IrSymbolFrames f;
    switch (n.kind) {
    case IrProtocolKind::Nec:
    case IrProtocolKind::NecExtended: Nec(n, f); break;
    case IrProtocolKind::Samsung: Samsung(n, f); break;
    case IrProtocolKind::Jvc: Jvc(n, f); break;
    case IrProtocolKind::Sirc12:
    case IrProtocolKind::Sirc15:
    case IrProtocolKind::Sirc20: Sirc(n, f); break;
    case IrProtocolKind::Rc5: Rc5(n, request.toggle, f); break;
    case IrProtocolKind::Rc6: Rc6(n, request.toggle, f); break;
    case IrProtocolKind::Kaseikyo: Kaseikyo(n, f); break;
    }
    frames = std::move(f);
    return true;
}

bool EncodeIr(const IrEncodeRequest& request, ProntoCode& code, std::string& error) {
    IrSymbolFrames f;
    if (!EncodeIrSymbols(request, f, error)) return false;
    const IrCodeInfo record = RecordOf(f);
    ProntoCode out;
    out.carrierHz = f.carrierHz;
    out.once = MarksAndSpaces(record);
    out.repeat = MarksAndSpaces(record, true);
    if (f.codeType == kCodeRc5) EndFrame(out.once, kRc5PeriodUnits * f.timings[0].mark);
    if (f.codeType == kCodeRc6) EndFrame(out.once, kRc6PeriodUnits * f.timings[0].mark);
    code = std::move(out);
    return true;
}

std::optional<IrDecoded> IrProtocolOfName(std::string_view name) {
    using K = IrProtocolKind;
    struct Spelling {
        const char* name;
        K kind;
        unsigned vendor;
    };
    static const Spelling kSpellings[] = {
        {"nec", K::Nec, 0},           {"nec1", K::Nec, 0},          {"necext", K::NecExtended, 0},
        {"necextended", K::NecExtended, 0}, {"samsung", K::Samsung, 0}, {"samsung32", K::Samsung, 0},
        {"jvc", K::Jvc, 0},           {"sirc", K::Sirc12, 0},       {"sirc12", K::Sirc12, 0},
        {"sonysirc12", K::Sirc12, 0}, {"sony12", K::Sirc12, 0},     {"sirc15", K::Sirc15, 0},
        {"sonysirc15", K::Sirc15, 0}, {"sony15", K::Sirc15, 0},     {"sirc20", K::Sirc20, 0},
        {"sonysirc20", K::Sirc20, 0}, {"sony20", K::Sirc20, 0},     {"rc5", K::Rc5, 0},
        {"rc5x", K::Rc5, 0},          {"rc6", K::Rc6, 0},           {"rc60", K::Rc6, 0},
        {"kaseikyo", K::Kaseikyo, 0}, {"panasonic", K::Kaseikyo, 0x2002},
    };
    const std::string key = Squeezed(name);
    for (const Spelling& s : kSpellings) {
        if (key != s.name) continue;
        IrDecoded d;
        d.kind = s.kind;
        d.vendor = s.vendor;
        return d;
    }
    return std::nullopt;
}

}  // namespace orvalink
