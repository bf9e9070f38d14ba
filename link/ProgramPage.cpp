// The one page writer of the binary and the text boot loader.
#include "base/ByteIo.h"
#include "link/LinkChannel.h"
#include "link/UpgradeParts.h"

namespace orvalink::upgrade_parts {

ProgramPage MakeProgramPage(std::span<const uint8_t> mcu, int index) {
    const auto page = mcu.subspan(size_t(index) * kMcuPageBytes, kMcuPageBytes);
    ProgramPage out;
    std::copy(page.begin(), page.end(), out.data.begin());
    out.sum = Sum16(page);
    out.data[kMcuPageBytes] = uint8_t(out.sum);
    out.data[kMcuPageBytes + 1] = uint8_t(out.sum >> 8);
    return out;
}

bool WriteProgramPage(LinkChannel& ch, const std::function<PageAnswer()>& announce,
                      const std::function<PageAnswer()>& send) {
    int misses = 0;
    int refusals = 0;
    // True when the answer spends the last try of its kind.
    auto spent = [&](PageAnswer answer) {
        return answer == PageAnswer::None ? ++misses >= kPageMisses : ++refusals >= kPageRefusals;
    };
    for (;;) {
        if (ch.ShouldStop()) return false;
        const PageAnswer answer = announce();
        if (answer == PageAnswer::Taken) break;
        if (spent(answer)) return false;
    }
    for (;;) {
        if (ch.ShouldStop()) return false;
        const PageAnswer answer = send();
        if (answer == PageAnswer::Taken) return true;
        if (spent(answer)) return false;
    }
}

}  // namespace orvalink::upgrade_parts
