#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace orvalink {

uint64_t Clock::MonotonicMicros() const {
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t SystemClock::NowSeconds() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

namespace {
std::tm LocalNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
#if defined(_WIN32)
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}
}  // namespace

LocalDate SystemClock::Today() const {
    std::tm tm = LocalNow();
    return LocalDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

LocalDateTime SystemClock::Now() const {
    std::tm tm = LocalNow();
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace orvalink
