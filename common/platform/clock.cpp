#include "common/platform/clock.h"

#include <time.h>

namespace zelt {

namespace {

LocalTime fromTm(const struct tm& tm, int ms) {
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     ms};
}

}  // namespace

Millis SystemClock::monotonic() const {
    struct timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Millis>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

LocalTime SystemClock::localTime() const {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm {};
    localtime_r(&ts.tv_sec, &tm);
    return fromTm(tm, static_cast<int>(ts.tv_nsec / 1000000));
}

std::int64_t calendarMs(const LocalTime& t) {
    struct tm tm {};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000 + t.millisecond;
}

LocalTime fromCalendarMs(std::int64_t ms) {
    const time_t seconds = static_cast<time_t>(ms / 1000);
    struct tm tm {};
    gmtime_r(&seconds, &tm);
    return fromTm(tm, static_cast<int>(ms % 1000));
}

ManualClock::ManualClock(LocalTime start) : startEpochMs_(calendarMs(start)) {}

LocalTime ManualClock::localTime() const { return fromCalendarMs(startEpochMs_ + now_); }

std::string twoDigits(std::int64_t value) {
    if (value < 0 || value > 9) return std::to_string(value);
    return {'0', static_cast<char>('0' + value)};
}

namespace {

// "year/month/day [hour:minute", the part both stamps share. Stamps are written without
// printf: every console line takes one, and the sanitizer builds check each formatted print
// at length.
std::string stampToMinute(const LocalTime& t) {
    std::string text;
    text.reserve(24);
    text += twoDigits(t.year);
    text += '/';
    text += twoDigits(t.month);
    text += '/';
    text += twoDigits(t.day);
    text += " [";
    text += twoDigits(t.hour);
    text += ':';
    text += twoDigits(t.minute);
    return text;
}

}  // namespace

std::string formatStamp(const LocalTime& t) {
    std::string text = stampToMinute(t);
    text += ':';
    text += twoDigits(t.second);
    text += ']';
    return text;
}

std::string formatMinuteStamp(const LocalTime& t) {
    return stampToMinute(t) + ']';
}

}  // namespace zelt
