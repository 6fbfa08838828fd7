// time_string and date_string: the current local time, the user's short-date settings and the
// time-zone offset read from Win32 on every call, formatted by the pure functions of date_format.h.
#pragma once

#include <cstdint>

#include "runtime/settings/date_format.h"
#include "runtime/values/rt_string.h"

RtString time_string(int32_t form);
RtString date_string(int32_t form);

// One reading of the local clock.
RtLocalTime local_time_now();
// The date separator and short-date order of the user's default locale.
RtDateLocale user_date_locale();
// The bias in minutes (local time = UTC - bias), daylight time included while it is in force.
int32_t time_zone_bias();
