#pragma once

#include <cstdint>
#include <string>

namespace zelt {

using Millis = std::int64_t;

// Broken-down local time, the fields the programs print and name versions by.
struct LocalTime {
    int year = 0;  // four digits
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Time as the programs see it. Everything that waits or stamps asks a Clock, so tests can
// move time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds; only differences mean anything.
    virtual Millis monotonic() const = 0;
    virtual LocalTime localTime() const = 0;
};

class SystemClock final : public Clock {
public:
    Millis monotonic() const override;
    LocalTime localTime() const override;
};

// A clock that moves only when told. Local time starts at a fixed moment and follows the
// monotonic time.
class ManualClock final : public Clock {
public:
    explicit ManualClock(LocalTime start = {2007, 4, 28, 16, 5, 9, 0});
    Millis monotonic() const override { return now_; }
    LocalTime localTime() const override;
    void advance(Millis ms) { now_ += ms; }
    void set(Millis ms) { now_ = ms; }

private:
    std::int64_t startEpochMs_;
    Millis now_ = 0;
};

// Calendar arithmetic on local times: milliseconds counted as if the local time were UTC, so
// that adding milliseconds and converting back gives the right date across month and year ends.
std::int64_t calendarMs(const LocalTime& t);
LocalTime fromCalendarMs(std::int64_t ms);

// A number as printf's %02d writes it: at least two digits, a leading zero below ten.
std::string twoDigits(std::int64_t value);

// "2007/04/28 [16:05:09]"
std::string formatStamp(const LocalTime& t);
// "2007/04/28 [16:05]"
std::string formatMinuteStamp(const LocalTime& t);

}  // namespace zelt
