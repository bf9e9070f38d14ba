// The key property editor's IR exchanges over the program's link.
#pragma once

#include "editors/core/IrLink.h"
#include "link/BlockProtocol.h"

namespace orvalink {

class BlockIrLink final : public IrLink {
public:
    explicit BlockIrLink(BlockProtocol& blocks) : blocks_(blocks) {}
    bool IrLearnStart() override { return blocks_.IrLearnStart(); }
    bool IrLearnReceive(LearnedCode& code, const std::function<bool()>& stop) override {
        return blocks_.IrLearnReceive(code, stop);
    }
    void IrStop() override { blocks_.IrStop(); }
    bool IrSendStart() override { return blocks_.IrSendStart(); }
    bool IrSendCode(std::span<const uint8_t> code512) override { return blocks_.IrSendCode(code512); }
    void IrSendRelease() override { blocks_.IrSendRelease(); }

private:
    BlockProtocol& blocks_;
};

}  // namespace orvalink
