// Every key of the factory code library, read back by the IR decoder, names
// the protocol, device and command its code line was made from; and every
// command each protocol encoder takes decodes to itself.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "image/IrDecoder.h"
#include "image/IrWaveform.h"
#include "tests/tools/FactoryTestSupport.h"
#include "tools/gen-default/IrProtocols.h"

namespace orvalink::testing {
namespace {

// What the decoder must say for a code line's protocol and address text.
IrDecoded Expected(const std::string& protocol, const std::string& address, unsigned command) {
    const auto dot = address.find('.');
    const unsigned a = unsigned(std::stoul(address.substr(0, dot), nullptr, 0));
    const unsigned b = dot == std::string::npos ? 0 : unsigned(std::stoul(address.substr(dot + 1), nullptr, 0));
    if (protocol == "nec") return {IrProtocolKind::Nec, a, std::nullopt, command};
    if (protocol == "nec-ext") {
        const unsigned lo = a & 0xFF, hi = a >> 8;
        // A high byte that happens to be the complement is plain NEC.
        if ((lo ^ hi) == 0xFF) return {IrProtocolKind::Nec, lo, std::nullopt, command};
        return {IrProtocolKind::NecExtended, lo, hi, command};
    }
    if (protocol == "samsung32") return {IrProtocolKind::Samsung, a, a, command};
    if (protocol == "jvc") return {IrProtocolKind::Jvc, a, std::nullopt, command};
    if (protocol == "sirc12") return {IrProtocolKind::Sirc12, a, std::nullopt, command};
    if (protocol == "sirc15") return {IrProtocolKind::Sirc15, a, std::nullopt, command};
    if (protocol == "sirc20") return {IrProtocolKind::Sirc20, a, b, command};
    if (protocol == "rc5") return {IrProtocolKind::Rc5, a, std::nullopt, command};
    if (protocol == "rc6") return {IrProtocolKind::Rc6, a, std::nullopt, command};
    if (protocol == "kaseikyo") return {IrProtocolKind::Kaseikyo, a, b, command, 0x2002};
    ADD_FAILURE() << "protocol " << protocol;
    return {};
}

// The stored record a code set gives a key, built the way the packer lays it
// out: timing table, then the first and repeat frames' symbols.
IrCodeInfo CodeOf(const gen::IrProtocol& protocol, const gen::KeyFrames& frames) {
    IrCodeInfo code;
    const auto timings = protocol.Timings();
    code.codeType = protocol.CodeType();
    code.timingCount = uint8_t(timings.size());
    code.carrier = gen::CarrierPeriod(protocol.CarrierHz());
    for (size_t i = 0; i < timings.size(); ++i) {
        uint8_t* t = code.data.data() + 4 * i;
        t[0] = uint8_t(timings[i].mark), t[1] = uint8_t(timings[i].mark >> 8);
        t[2] = uint8_t(timings[i].space), t[3] = uint8_t(timings[i].space >> 8);
    }
    const int width = ImpliedSymbolWidth(code.codeType, code.timingCount);
    std::span<uint8_t> packed(code.data.data() + 4 * timings.size(), code.data.size() - 4 * timings.size());
    size_t at = 0;
    for (uint8_t s : frames.first) PutSymbol(packed, at++, width, s);
    for (uint8_t s : frames.repeat) PutSymbol(packed, at++, width, s);
    code.firstCount = uint8_t(frames.first.size());
    code.repeatCount = frames.repeat.empty() ? kNoRepeat : uint8_t(frames.repeat.size());
    return code;
}

TEST(FactoryCodeDecode, EveryLibraryKeyDecodesToItsCodeLine) {
    const auto& f = TheFactory();
    ASSERT_TRUE(f.ok) << f.error;
    std::map<std::string, int> keysPerProtocol;
    for (const gen::FactoryCode& line : f.files.codes.codes) {
        std::set<unsigned> commands;
        for (const auto& [function, command] : line.commands) commands.insert(command);
        int keys = 0;
        for (int k = 0; k < kKeysPerDevice; ++k) {
            IrCodeInfo code;
            if (!LibraryKey(f.flash, line.number, k, code)) continue;
            ++keys;
            const auto decoded = DecodeIr(MarksAndSpaces(code));
            ASSERT_TRUE(decoded) << "code " << line.number << " key " << k << " (" << line.protocol << ")";
            EXPECT_TRUE(commands.count(decoded->function)) << "code " << line.number << " key " << k;
            EXPECT_EQ(*decoded, Expected(line.protocol, line.address, decoded->function))
                << "code " << line.number << " key " << k << " decoded as " << IrProtocolName(*decoded);
        }
        EXPECT_GT(keys, 0) << "code " << line.number;
        keysPerProtocol[line.protocol] += keys;
    }
    // Every protocol the library uses was seen.
    EXPECT_EQ(keysPerProtocol.size(), 10u);
}

TEST(FactoryCodeDecode, EveryCommandOfEveryEncoderDecodesToItself) {
    const std::vector<std::pair<std::string, std::string>> protocols{
        {"nec", "0x04"},       {"nec-ext", "0xC7EA"}, {"samsung32", "0x07"}, {"jvc", "0x03"},
        {"sirc12", "0x01"},    {"sirc15", "0xA4"},    {"sirc20", "26.0x49"}, {"rc5", "0x14"},
        {"rc6", "0x00"},       {"kaseikyo", "0x80.0x01"},
    };
    for (const auto& [name, address] : protocols) {
        std::string error;
        auto protocol = gen::MakeProtocol(name, address, error);
        ASSERT_TRUE(protocol) << error;
        int encoded = 0;
        for (unsigned command = 0; command <= 0xFF; ++command) {
            auto frames = protocol->Encode(command);
            if (!frames) continue;
            ++encoded;
            const IrCodeInfo code = CodeOf(*protocol, *frames);
            const auto decoded = DecodeIr(MarksAndSpaces(code));
            ASSERT_TRUE(decoded) << name << " command " << command;
            EXPECT_EQ(*decoded, Expected(name, address, command)) << name << " command " << command;
            // A repeat frame alone is no code (JVC's lacks the leader).
            const auto repeat = MarksAndSpaces(code, true);
            if (!repeat.empty()) {
                EXPECT_FALSE(DecodeIr(repeat)) << name << " repeat of " << command;
            }
        }
        EXPECT_GE(encoded, 128) << name;
    }
}

}  // namespace
}  // namespace orvalink::testing
