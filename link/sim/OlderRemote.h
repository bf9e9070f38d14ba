// What the virtual remote adds for the service pages: the 256 KB flash of
// an older remote, which the packet protocol reads and writes, and the far
// end of the cable as it is on the test bench: the remote, the loop-back
// jig (every byte sent straight back at 38400 bit/s), or nothing at all.
//
// The jig can be faulty: it drops, or changes, byte n of every 1024 it sees
// (the loop-back test sends 1024).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvalink {

enum class FarEnd {
    Remote,  // the remote answers
    Jig,     // the loop-back jig echoes every byte
    Nothing, // the cable hangs free: nothing answers
};

struct JigFaults {
    int dropByte = -1;    // byte n (0..1023) of every 1024 is lost
    int changeByte = -1;  // byte n of every 1024 comes back changed
};

class OlderRemote {
public:
    static constexpr size_t kFlashBytes = 262144;
    static constexpr int kJigRate = 38400;
    static constexpr size_t kJigRun = 1024;

    OlderRemote() : flash_(kFlashBytes, 0xFF) {}

    FarEnd End() const { return end_; }
    void SetEnd(FarEnd end) { end_ = end; }
    JigFaults& Faults() { return faults_; }

    // What the jig sends back for `bytes` (faults applied).
    std::vector<uint8_t> Echo(std::span<const uint8_t> bytes);
    size_t BytesSeen() const { return seen_; }

    // Packets written so far (the host saves the flash when this moves).
    void MarkChanged() { ++changes_; }
    uint64_t Changes() const { return changes_; }

    std::span<uint8_t> Flash() { return flash_; }
    std::span<const uint8_t> Flash() const { return flash_; }
    // The flash from a file of exactly 262144 bytes / into a file (written
    // beside it and renamed). False with a reason in error.
    bool LoadFlash(const std::string& path, std::string& error);
    bool SaveFlash(const std::string& path, std::string& error) const;

private:
    FarEnd end_ = FarEnd::Remote;
    JigFaults faults_;
    size_t seen_ = 0;
    uint64_t changes_ = 0;
    std::vector<uint8_t> flash_;
};

}  // namespace orvalink
