// Runs a libFuzzer target without libFuzzer: every file below the folders
// given on the command line, then a fixed number of pseudo-random inputs of
// varied lengths drawn from a fixed seed, so that every CTest run feeds the
// target the same inputs (and the sanitizer build checks them).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/Random.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
// libFuzzer never hands a target a null pointer, not even for an empty input.
int Feed(const std::vector<uint8_t>& bytes) {
    static const uint8_t kEmpty = 0;
    return LLVMFuzzerTestOneInput(bytes.empty() ? &kEmpty : bytes.data(), bytes.size());
}
}  // namespace

int main(int argc, char** argv) {
    size_t files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(argv[i], ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file()) continue;
            std::ifstream in(it->path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            Feed(bytes);
            ++files;
        }
    }
    const char* env = std::getenv("ORVALINK_FUZZ_RUNS");
    int runs = env ? std::atoi(env) : 3000;
    orvalink::Pcg32Random random(20261208);
    std::vector<uint8_t> buf;
    for (int r = 0; r < runs; ++r) {
        uint32_t kind = random.Next() % 4;
        size_t len = kind == 0 ? random.Next() % 64 : kind == 1 ? random.Next() % 1024 : random.Next() % 70000;
        buf.resize(len);
        uint32_t fill = random.Next() % 3;  // random, mostly 0xFF, mostly zero
        for (auto& b : buf) {
            uint32_t v = random.Next();
            b = fill == 0 ? uint8_t(v) : (v % 8 ? (fill == 1 ? 0xFF : 0x00) : uint8_t(v >> 8));
        }
        Feed(buf);
    }
    std::printf("fed %zu files and %d random inputs\n", files, runs);
    return 0;
}
