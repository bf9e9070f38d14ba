// Test double of the clock: a time and date that the test sets.
#pragma once

#include "platform/Clock.h"

namespace orvalink {

class FixedClock final : public Clock {
public:
    explicit FixedClock(int64_t seconds = 1780000000, LocalDate date = {2026, 6, 7})
        : seconds_(seconds), date_(date) {}
    int64_t NowSeconds() const override { return seconds_; }
    LocalDate Today() const override { return date_; }
    LocalDateTime Now() const override {
        return LocalDateTime{date_.year, date_.month, date_.day, hour_, minute_, 0};
    }
    void SetTimeOfDay(int hour, int minute) { hour_ = hour; minute_ = minute; }
    void Set(int64_t seconds) { seconds_ = seconds; }
    void Advance(int64_t seconds) { seconds_ += seconds; }
    void SetDate(LocalDate date) { date_ = date; }

private:
    int64_t seconds_;
    LocalDate date_;
    int hour_ = 12;
    int minute_ = 0;
};

}  // namespace orvalink
