// The clock every part asks for the time: seconds for seeding the
// pseudo-random generator, the local date for proposed file names.
#pragma once

#include <cstdint>

namespace orvalink {

struct LocalDate {
    int year = 1970;
    int month = 1;
    int day = 1;
};

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A clock that only goes forward: microseconds since an arbitrary start.
// The link trace stamps every byte with it; the tests' virtual pump is one,
// so a recorded conversation carries the simulated time.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual uint64_t MonotonicMicros() const = 0;
};

class Clock : public MonotonicClock {
public:
    ~Clock() override = default;
    // The computer's steady clock (never set back).
    uint64_t MonotonicMicros() const override;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual int64_t NowSeconds() const = 0;
    // Today's date in local time.
    virtual LocalDate Today() const = 0;
    // The local date and time of day (the remote's clock is set from it).
    virtual LocalDateTime Now() const {
        LocalDate d = Today();
        return LocalDateTime{d.year, d.month, d.day, 0, 0, 0};
    }
};

// The computer's clock.
class SystemClock final : public Clock {
public:
    int64_t NowSeconds() const override;
    LocalDate Today() const override;
    LocalDateTime Now() const override;
};

}  // namespace orvalink
