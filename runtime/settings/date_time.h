/// \file
/// time_string and date_string: the current local time, the user's short-date settings and the
/// time-zone offset read from Win32 on every call, formatted by the pure functions of date_format.h.
/// Any thread.
#pragma once

#include <cstdint>

#include "runtime/settings/date_format.h"
#include "runtime/values/rt_string.h"

/// The current local time as format_time() writes it: form 0 "07:05", form 1 "09.250", any
/// other form "".
RtString time_string(int32_t form);
/// Today's date as format_date() writes it, with the user's short-date settings (forms 0, 4 and
/// any unknown form) and the current time-zone bias (form 5): 0 "06.12.2026", 1 "6. Dezember
/// 2026", 2 "Sonntag, der 6. Dezember 2026", 3 "20261206", 5 "Sun, 6 Dec 2026 7:5:9 +0100",
/// others ".dMy".
RtString date_string(int32_t form);

/// One reading of the local clock (GetLocalTime).
RtLocalTime local_time_now();
/// The date separator and short-date order of the user's default locale; no separator and order
/// 0 when the locale cannot be read.
RtDateLocale user_date_locale();
/// The bias in minutes (local time = UTC - bias), daylight time included while it is in force; 0
/// when the zone cannot be read.
int32_t time_zone_bias();
