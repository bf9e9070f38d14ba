// The code picker's Auto Test: each code number of a brand in turn is sent
// through the remote as a press of one key, held for a second and released,
// so that the user can watch which code the device obeys.
//
// A code number's signal is the first key of its code set in the memory
// image's code library that has a code (the power key of the factory sets).
// Code numbers without a readable set or key are passed over.
#pragma once

#include <functional>
#include <span>

#include "image/LearnedCodes.h"
#include "image/Tiflashut.h"
#include "link/BlockProtocol.h"
#include "link/LinkChannel.h"
#include "link/PortDiscovery.h"

namespace orvalink {

// How long a code is held before the release.
inline constexpr uint32_t kAutoTestHoldMs = 1000;

// The send form of a code number's test signal; false (send untouched)
// when the library holds nothing that can be sent for it.
bool PreCodeSendRecord(const TTiFlashFm& flash, int codeNumber, LearnedCode& send);

enum class AutoTestOutcome {
    Done,       // every code went through
    NoCable,    // the cable's port was not found; nothing was sent
    Cancelled,  // stopped at the user's Cancel after a code was sent
};

struct AutoTestResult {
    AutoTestOutcome outcome = AutoTestOutcome::Done;
    int lastCode = -1;  // the last code number shown (and sent), -1 for none
    int sent = 0;       // codes sent
};

struct AutoTestHooks {
    // Before a code goes out: its number, for "Pre-programmed code no:".
    std::function<void(int codeNumber)> showing;
    // Whether the user has pressed the auto-test Cancel.
    std::function<bool()> cancelled;
};

class PreCodeAutoTest {
public:
    PreCodeAutoTest(const TTiFlashFm& flash, LinkChannel& channel, PortDiscovery& discovery, BlockProtocol& blocks)
        : flash_(flash), channel_(channel), discovery_(discovery), blocks_(blocks) {}

    AutoTestResult Run(std::span<const int> codeNumbers, const AutoTestHooks& hooks);

private:
    const TTiFlashFm& flash_;
    LinkChannel& channel_;
    PortDiscovery& discovery_;
    BlockProtocol& blocks_;
};

}  // namespace orvalink
