#include "common/platform/clock.h"

#include <time.h>

#include <cstdio>

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

std::string formatStamp(const LocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d [%02d:%02d:%02d]", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string formatMinuteStamp(const LocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d [%02d:%02d]", t.year, t.month, t.day,
                  t.hour, t.minute);
    return text;
}

}  // namespace zelt
