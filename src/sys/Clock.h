#pragma once
// Local time as the station reads it, injectable so that tests never wait for time to pass.

#include <functional>
#include <string>

namespace palaverly {

struct LocalTime {
    int year = 0;  // full year, e.g. 2026
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;  // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Gives the current local time; the station and its models take one of these.
using Clock = std::function<LocalTime()>;

/// "%2d:%02d" (hour space-filled to two columns, minute), the time column of chat-log rows;
/// with `seconds`, "%2d:%02d'%02d" as the daily log file stamps its lines.
std::string FormatClockTime(const LocalTime& time, bool seconds = false);

/// The system's local time (localtime_r with the milliseconds of the real-time clock).
LocalTime SystemLocalTime();

} // namespace palaverly
