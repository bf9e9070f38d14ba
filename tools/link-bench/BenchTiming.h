// What the two link benchmarks share: the wire time of bytes, the process's
// CPU and wall clocks, timing one step, and the report line that sets a
// step's wall time against the wire's floor.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace orvalink::bench {

inline constexpr double kRate = 115200.0;
inline constexpr double kBitsPerChar = 10.0;

inline double WireSeconds(double bytes, double rate = kRate) { return bytes * kBitsPerChar / rate; }

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double WallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Measure {
    double wall = 0, cpu = 0;
};

template <typename F>
Measure Run(F&& f, bool& ok) {
    const double w0 = WallSeconds(), c0 = CpuSeconds();
    ok = f();
    return {WallSeconds() - w0, CpuSeconds() - c0};
}

inline void Report(const char* what, bool ok, const Measure& m, double floor, double remoteDelays) {
    std::printf("%-8s %s  wall %8.3f s  floor %8.3f s  ratio %.4f  (%.4f with the remote's own delays)  CPU %.2f%%\n",
                what, ok ? "ok    " : "FAILED", m.wall, floor, m.wall / floor, m.wall / (floor + remoteDelays),
                100.0 * m.cpu / m.wall);
}

}  // namespace orvalink::bench
