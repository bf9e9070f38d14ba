#include "editors/core/PreCodeAutoTest.h"

#include "image/CodeLibrary.h"

namespace orvalink {

bool PreCodeSendRecord(const TTiFlashFm& flash, int codeNumber, LearnedCode& send) {
    LibraryCodeSet set;
    if (!ReadLibraryCode(flash, codeNumber, set)) return false;
    for (int key = 0; key < kLibraryKeys; ++key) {
        IrCodeInfo code;
        if (!DecodeLibraryKey(set, key, code)) continue;
        // The first key with a code is the test signal, sendable or not.
        LearnedCode record{};
        if (!StoredToSend(code, record)) return false;
        send = record;
        return true;
    }
    return false;
}

AutoTestResult PreCodeAutoTest::Run(std::span<const int> codeNumbers, const AutoTestHooks& hooks) {
    AutoTestResult result;
    int portNumber = 0;
    if (!discovery_.FindVisualComPort(portNumber)) {
        result.outcome = AutoTestOutcome::NoCable;
        return result;
    }
    for (int codeNumber : codeNumbers) {
        LearnedCode send{};
        if (!PreCodeSendRecord(flash_, codeNumber, send)) continue;
        result.lastCode = codeNumber;
        if (hooks.showing) hooks.showing(codeNumber);
        // The press, as the key editor's Shoot sends it.
        if (blocks_.IrSendStart() && blocks_.IrSendCode(send)) ++result.sent;
        if (hooks.cancelled && hooks.cancelled()) {
            channel_.SendByte(kAccept);
            result.outcome = AutoTestOutcome::Cancelled;
            return result;
        }
        channel_.WaitTicks(kAutoTestHoldMs);
        // The release: 'B', and 'B' again when the remote does not answer.
        blocks_.IrSendRelease();
    }
    return result;
}

}  // namespace orvalink
