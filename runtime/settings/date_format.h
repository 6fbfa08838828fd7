// The texts of time_string and date_string as pure functions of a local time, the locale's date
// separator and order, and the time-zone bias; also the header that the logfile switch writes.
// No platform headers: the Win32 side reads the clock, the locale and the zone.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

// A local time as the system reports it; day_of_week 0 is Sunday.
struct RtLocalTime {
    uint16_t year;
    uint16_t month;
    uint16_t day_of_week;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

// The user's short-date settings: separator text and order 0 (M d y), 1 (d M y) or 2 (y M d).
struct RtDateLocale {
    RtString separator;
    int32_t order;
};

// Form 0 "HH:MM", form 1 "SS.ms"; other forms give "".
RtString format_time(int32_t form, const RtLocalTime& time);
// Forms 0 to 5; any other form gives the separator and the order code. bias is in minutes,
// local time = UTC - bias.
RtString format_date(int32_t form, const RtLocalTime& time, const RtDateLocale& locale, int32_t bias);
// "+hhmm" or "-hhmm" for a bias in minutes.
RtString format_zone_offset(int32_t bias);
// The block the logfile switch appends: a blank line, a rule of hyphens, the long German date and
// the time, another rule (the log writer adds the final line break).
RtString log_header_text(const RtLocalTime& time);
