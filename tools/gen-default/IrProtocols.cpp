#include "tools/gen-default/IrProtocols.h"

#include <charconv>

#include "image/CodeRecords.h"
#include "image/IrEncoder.h"

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

// A protocol and device address of the factory library, made by the core
// encoder: the timing table is the protocol's own (the same for every
// command), the frames those of each command.
class EncodedProtocol final : public IrProtocol {
public:
    EncodedProtocol(std::string name, IrDecoded numbers) : name_(std::move(name)), numbers_(numbers) {
        IrSymbolFrames f;
        std::string error;
        if (EncodeIrSymbols({numbers_}, f, error)) {
            codeType_ = f.codeType;
            carrierHz_ = f.carrierHz;
            for (const IrPulse& t : f.timings) timings_.push_back({uint16_t(t.mark), uint16_t(t.space)});
        }
    }
    std::string Name() const override { return name_; }
    uint8_t CodeType() const override { return codeType_; }
    unsigned CarrierHz() const override { return carrierHz_; }
    std::vector<Timing> Timings() const override { return timings_; }
    std::optional<KeyFrames> Encode(unsigned command) const override {
        IrEncodeRequest request{numbers_};
        request.numbers.function = command;
        IrSymbolFrames f;
        std::string error;
        if (!EncodeIrSymbols(request, f, error)) return std::nullopt;
        return KeyFrames{std::move(f.first), std::move(f.repeat)};
    }

private:
    std::string name_;
    IrDecoded numbers_;
    uint8_t codeType_ = kCodeNormal;
    unsigned carrierHz_ = 0;
    std::vector<Timing> timings_;
};

std::unique_ptr<IrProtocol> Make(const std::string& name, IrProtocolKind kind, unsigned device,
                                 std::optional<unsigned> subDevice, unsigned vendor = 0) {
    IrDecoded numbers{kind, device, subDevice, 0, vendor};
    return std::make_unique<EncodedProtocol>(name, numbers);
}

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
    using K = IrProtocolKind;
    if (name == "nec") return number(0xFF) ? Make(name, K::Nec, a, std::nullopt) : nullptr;
    if (name == "nec-ext") return number(0xFFFF) ? Make(name, K::NecExtended, a & 0xFF, a >> 8) : nullptr;
    if (name == "samsung32") return number(0xFF) ? Make(name, K::Samsung, a, a) : nullptr;
    if (name == "jvc") return number(0xFF) ? Make(name, K::Jvc, a, std::nullopt) : nullptr;
    if (name == "sirc12") return number(0x1F) ? Make(name, K::Sirc12, a, std::nullopt) : nullptr;
    if (name == "sirc15") return number(0xFF) ? Make(name, K::Sirc15, a, std::nullopt) : nullptr;
    if (name == "sirc20") return pair(0x1F, 0xFF) ? Make(name, K::Sirc20, a, b) : nullptr;
    if (name == "rc5") return number(0x1F) ? Make(name, K::Rc5, a, std::nullopt) : nullptr;
    if (name == "rc6") return number(0xFF) ? Make(name, K::Rc6, a, std::nullopt) : nullptr;
    if (name == "kaseikyo") return pair(0xFF, 0xFF) ? Make(name, K::Kaseikyo, a, b, 0x2002) : nullptr;
    error = "unknown protocol '" + name + "'";
    return nullptr;
}

}  // namespace orvalink::gen
