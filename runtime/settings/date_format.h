/// \file
/// The texts of time_string and date_string as pure functions of a local time, the locale's date
/// separator and order, and the time-zone bias; also the header that the logfile switch writes.
/// No platform headers: the Win32 side (date_time.h) reads the clock, the locale and the zone.
/// Any thread. Two-digit numbers have a leading 0 below 10; plain numbers have none.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

/// A local time as the system reports it (the fields of SYSTEMTIME).
struct RtLocalTime {
    /// E.g. 2026.
    uint16_t year;
    /// 1 to 12.
    uint16_t month;
    /// 0 Sunday to 6 Saturday.
    uint16_t day_of_week;
    /// 1 to 31.
    uint16_t day;
    /// 0 to 23.
    uint16_t hour;
    /// 0 to 59.
    uint16_t minute;
    /// 0 to 59.
    uint16_t second;
    /// 0 to 999.
    uint16_t milliseconds;
};

/// The user's short-date settings.
struct RtDateLocale {
    /// The date separator, e.g. ".".
    RtString separator;
    /// 0 month day year, 1 day month year, 2 year month day.
    int32_t order;
};

/// \p time as text: form 0 "07:05" (hour and minute, two digits each), form 1 "09.250" (second
/// as two digits, a full stop, milliseconds as a plain number); any other form "".
RtString format_time(int32_t form, const RtLocalTime& time);
/// \p time's date as text (the examples for Sunday 6 December 2026, 7:05:09, German settings):
/// form 0 the short date of \p locale, "06.12.2026" ("" for an order other than 0 to 2);
/// 1 "6. Dezember 2026"; 2 "Sonntag, der 6. Dezember 2026"; 3 "20261206"; 5 the Internet mail
/// form "Sun, 6 Dec 2026 7:5:9 +0100" with \p bias (minutes, local time = UTC - bias); any
/// other form the locale's separator and its order code "Mdy", "dMy" or "yMd" (".dMy").
RtString format_date(int32_t form, const RtLocalTime& time, const RtDateLocale& locale, int32_t bias);
/// The zone offset of a \p bias in minutes (local time = UTC - bias): "+0100" for -60, "-0500"
/// for 300, "+0000" for 0.
RtString format_zone_offset(int32_t bias);
/// The block the logfile switch appends for \p time: a blank and CR LF, 53 hyphens and CR LF, the
/// long German date (form 2), " - ", the time (form 0), CR LF and 53 hyphens (the log writer adds
/// the final line break).
RtString log_header_text(const RtLocalTime& time);
