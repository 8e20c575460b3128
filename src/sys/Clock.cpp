#include "sys/Clock.h"

#include <cstdio>
#include <ctime>

namespace palaverly {

std::string FormatClockTime(const LocalTime& time, bool seconds) {
    char buffer[32];
    if (seconds)
        std::snprintf(buffer, sizeof buffer, "%2d:%02d'%02d", time.hour, time.minute, time.second);
    else
        std::snprintf(buffer, sizeof buffer, "%2d:%02d", time.hour, time.minute);
    return buffer;
}

LocalTime SystemLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    return LocalTime{tm.tm_year + 1900,
                     tm.tm_mon + 1,
                     tm.tm_mday,
                     tm.tm_hour,
                     tm.tm_min,
                     tm.tm_sec,
                     static_cast<int>(ts.tv_nsec / 1000000)};
}

} // namespace palaverly
