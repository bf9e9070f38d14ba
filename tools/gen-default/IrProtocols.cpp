#include "tools/gen-default/IrProtocols.h"

#include <charconv>

#include "image/CodeRecords.h"

namespace orvalink::gen {

namespace {

// Parses "0x1F", "31" or, with `second`, "26.0x49".
bool ParseNumber(const std::string& text, unsigned& value) {
    const char* b = text.data();
    const char* e = b + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        b += 2;
        base = 16;
    }
    if (b == e) return false;
    auto [p, ec] = std::from_chars(b, e, value, base);
    return ec == std::errc() && p == e;
}

bool ParsePair(const std::string& text, unsigned& a, unsigned& b) {
    auto dot = text.find('.');
    if (dot == std::string::npos) return false;
    return ParseNumber(text.substr(0, dot), a) && ParseNumber(text.substr(dot + 1), b);
}

// Appends `count` bits of `value`, least significant first, as symbols
// `zero` and `one`.
void PutLsbFirst(std::vector<uint8_t>& out, unsigned value, int count, uint8_t zero, uint8_t one) {
    for (int i = 0; i < count; ++i) out.push_back(((value >> i) & 1) ? one : zero);
}
void PutMsbFirst(std::vector<uint8_t>& out, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(uint8_t((value >> i) & 1));
}

// Pulse-distance protocols: symbol 0 is a zero bit, 1 a one bit, 2 the
// leader, 3 the stop mark with the gap after it; further entries per protocol.
enum : uint8_t { kZero = 0, kOne = 1, kLead = 2, kStop = 3 };

class NecProtocol final : public IrProtocol {
public:
    NecProtocol(unsigned address, bool extended) : address_(address), extended_(extended) {}
    std::string Name() const override { return extended_ ? "nec-ext" : "nec"; }
    uint8_t CodeType() const override { return kCodeNormal; }
    unsigned CarrierHz() const override { return 38000; }
    std::vector<Timing> Timings() const override {
        // 562.5 us units: 9 ms + 4.5 ms leader, 40 ms after the stop mark (a
        // 108 ms frame period), and the repeat frame of 9 ms + 2.25 ms.
        return {{560, 560}, {560, 1690}, {9000, 4500}, {560, 40000}, {9000, 2250}, {560, kMaxGap}};
    }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0xFF) return std::nullopt;
        KeyFrames f;
        f.first.push_back(kLead);
        unsigned addr = extended_ ? address_ : (address_ | ((~address_ & 0xFF) << 8));
        PutLsbFirst(f.first, addr, 16, kZero, kOne);
        PutLsbFirst(f.first, command | ((~command & 0xFF) << 8), 16, kZero, kOne);
        f.first.push_back(kStop);
        f.repeat = {4, 5};
        return f;
    }

private:
    unsigned address_;
    bool extended_;
};

class Samsung32Protocol final : public IrProtocol {
public:
    explicit Samsung32Protocol(unsigned address) : address_(address) {}
    std::string Name() const override { return "samsung32"; }
    uint8_t CodeType() const override { return kCodeNormal; }
    unsigned CarrierHz() const override { return 38000; }
    std::vector<Timing> Timings() const override {
        return {{560, 560}, {560, 1690}, {4500, 4500}, {560, 46000}};
    }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0xFF) return std::nullopt;
        KeyFrames f;
        f.first.push_back(kLead);
        PutLsbFirst(f.first, address_ | (address_ << 8), 16, kZero, kOne);
        PutLsbFirst(f.first, command | ((~command & 0xFF) << 8), 16, kZero, kOne);
        f.first.push_back(kStop);
        return f;  // the whole frame is sent again while the key is held
    }

private:
    unsigned address_;
};

class JvcProtocol final : public IrProtocol {
public:
    explicit JvcProtocol(unsigned address) : address_(address) {}
    std::string Name() const override { return "jvc"; }
    uint8_t CodeType() const override { return kCodeNormal; }
    unsigned CarrierHz() const override { return 38000; }
    std::vector<Timing> Timings() const override {
        // 526 us units, 8.4 ms + 4.2 ms leader on the first frame only.
        return {{526, 526}, {526, 1574}, {8400, 4200}, {526, 22000}};
    }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0xFF) return std::nullopt;
        KeyFrames f;
        std::vector<uint8_t> body;
        PutLsbFirst(body, address_, 8, kZero, kOne);
        PutLsbFirst(body, command, 8, kZero, kOne);
        body.push_back(kStop);
        f.first.push_back(kLead);
        f.first.insert(f.first.end(), body.begin(), body.end());
        f.repeat = body;
        return f;
    }

private:
    unsigned address_;
};

// Sony: 2.4 ms leader, 600 us units, one bit = mark of 1 or 2 units and a
// one-unit space; the frame repeats every 45 ms. The last bit's space is
// the gap, so it has entries of its own.
class SircProtocol final : public IrProtocol {
public:
    SircProtocol(int bits, unsigned device, unsigned extension) : bits_(bits), device_(device), extension_(extension) {}
    std::string Name() const override { return "sirc" + std::to_string(bits_); }
    uint8_t CodeType() const override { return kCodeNormal; }
    unsigned CarrierHz() const override { return 40000; }
    std::vector<Timing> Timings() const override {
        uint16_t gap = uint16_t(45000 - (3000 + 1500 * bits_));
        return {{600, 600}, {1200, 600}, {2400, 600}, {600, gap}, {1200, gap}};
    }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0x7F) return std::nullopt;
        std::vector<uint8_t> frame{kLead};
        PutLsbFirst(frame, command, 7, kZero, kOne);
        if (bits_ == 12) PutLsbFirst(frame, device_, 5, kZero, kOne);
        if (bits_ == 15) PutLsbFirst(frame, device_, 8, kZero, kOne);
        if (bits_ == 20) {
            PutLsbFirst(frame, device_, 5, kZero, kOne);
            PutLsbFirst(frame, extension_, 8, kZero, kOne);
        }
        frame.back() = frame.back() == kOne ? 4 : 3;
        // A Sony device acts on a command it has seen at least three times.
        KeyFrames f;
        for (int i = 0; i < 3; ++i) f.first.insert(f.first.end(), frame.begin(), frame.end());
        return f;
    }

private:
    int bits_;
    unsigned device_;
    unsigned extension_;
};

class Rc5Protocol final : public IrProtocol {
public:
    explicit Rc5Protocol(unsigned system) : system_(system) {}
    std::string Name() const override { return "rc5"; }
    uint8_t CodeType() const override { return kCodeRc5; }
    unsigned CarrierHz() const override { return 36000; }
    std::vector<Timing> Timings() const override { return {{889, 889}}; }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 127) return std::nullopt;
        // Start bit, field bit (the inverted command bit 6 of RC-5X), toggle,
        // 5 system bits and 6 command bits, most significant first.
        KeyFrames f;
        f.first.push_back(1);
        f.first.push_back(command < 64 ? 1 : 0);
        f.first.push_back(0);
        PutMsbFirst(f.first, system_, 5);
        PutMsbFirst(f.first, command & 0x3F, 6);
        return f;
    }

private:
    unsigned system_;
};

class Rc6Protocol final : public IrProtocol {
public:
    explicit Rc6Protocol(unsigned address) : address_(address) {}
    std::string Name() const override { return "rc6"; }
    uint8_t CodeType() const override { return kCodeRc6; }
    unsigned CarrierHz() const override { return 36000; }
    std::vector<Timing> Timings() const override { return {{444, 444}}; }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0xFF) return std::nullopt;
        // Start bit, mode 0 (3 bits), trailer (toggle) bit, 8 address bits,
        // 8 command bits, most significant first.
        KeyFrames f;
        f.first.push_back(1);
        PutMsbFirst(f.first, 0, 3);
        f.first.push_back(0);
        PutMsbFirst(f.first, address_, 8);
        PutMsbFirst(f.first, command, 8);
        return f;
    }

private:
    unsigned address_;
};

// Panasonic's Kaseikyo frame: 432 us units, 3.5 ms + 1.7 ms leader, 48 bits
// sent least significant first: vendor 0x2002, vendor parity and genre in
// the device byte, sub-device, function, and the XOR of the three.
class KaseikyoProtocol final : public IrProtocol {
public:
    KaseikyoProtocol(unsigned device, unsigned subDevice) : device_(device), subDevice_(subDevice) {}
    std::string Name() const override { return "kaseikyo"; }
    uint8_t CodeType() const override { return kCodeNormal; }
    unsigned CarrierHz() const override { return 37000; }
    std::vector<Timing> Timings() const override {
        return {{432, 432}, {432, 1296}, {3456, 1728}, {432, kMaxGap}};
    }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        if (command > 0xFF) return std::nullopt;
        KeyFrames f;
        f.first.push_back(kLead);
        const unsigned bytes[6] = {0x02, 0x20, device_, subDevice_, command, device_ ^ subDevice_ ^ command};
        for (unsigned b : bytes) PutLsbFirst(f.first, b & 0xFF, 8, kZero, kOne);
        f.first.push_back(kStop);
        return f;
    }

private:
    unsigned device_;
    unsigned subDevice_;
};

}  // namespace

uint16_t CarrierPeriod(unsigned hz) {
    if (hz == 0) return 0;
    return uint16_t((8000000u + hz / 2) / hz);
}

std::unique_ptr<IrProtocol> MakeProtocol(const std::string& name, const std::string& address, std::string& error) {
    unsigned a = 0, b = 0;
    auto number = [&](unsigned limit) {
        if (!ParseNumber(address, a) || a > limit) {
            error = "protocol " + name + ": address '" + address + "' is not a number up to " + std::to_string(limit);
            return false;
        }
        return true;
    };
    auto pair = [&](unsigned limitA, unsigned limitB) {
        if (!ParsePair(address, a, b) || a > limitA || b > limitB) {
            error = "protocol " + name + ": address '" + address + "' is not two numbers A.B up to " +
                    std::to_string(limitA) + "." + std::to_string(limitB);
            return false;
        }
        return true;
    };
    if (name == "nec") return number(0xFF) ? std::make_unique<NecProtocol>(a, false) : nullptr;
    if (name == "nec-ext") return number(0xFFFF) ? std::make_unique<NecProtocol>(a, true) : nullptr;
    if (name == "samsung32") return number(0xFF) ? std::make_unique<Samsung32Protocol>(a) : nullptr;
    if (name == "jvc") return number(0xFF) ? std::make_unique<JvcProtocol>(a) : nullptr;
    if (name == "sirc12") return number(0x1F) ? std::make_unique<SircProtocol>(12, a, 0) : nullptr;
    if (name == "sirc15") return number(0xFF) ? std::make_unique<SircProtocol>(15, a, 0) : nullptr;
    if (name == "sirc20") return pair(0x1F, 0xFF) ? std::make_unique<SircProtocol>(20, a, b) : nullptr;
    if (name == "rc5") return number(0x1F) ? std::make_unique<Rc5Protocol>(a) : nullptr;
    if (name == "rc6") return number(0xFF) ? std::make_unique<Rc6Protocol>(a) : nullptr;
    if (name == "kaseikyo") return pair(0xFF, 0xFF) ? std::make_unique<KaseikyoProtocol>(a, b) : nullptr;
    error = "unknown protocol '" + name + "'";
    return nullptr;
}

}  // namespace orvalink::gen
