#include "runtime/settings/date_time.h"

#include <windows.h>

#include <cstdlib>

namespace {

constexpr LCID kUserDefaultLocale = 0x400;

}  // namespace

RtLocalTime local_time_now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return RtLocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// A query that fails leaves its zero-filled buffer: no separator, order 0.
RtDateLocale user_date_locale() {
    char separator[16] = {};
    char order[2] = {};
    GetLocaleInfoA(kUserDefaultLocale, LOCALE_SDATE, separator, sizeof separator);
    GetLocaleInfoA(kUserDefaultLocale, LOCALE_IDATE, order, sizeof order);
    return RtDateLocale{RtString(separator), std::atoi(order)};
}

// A failing query leaves the zero-filled record: bias 0.
int32_t time_zone_bias() {
    TIME_ZONE_INFORMATION zone = {};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT) {
        return zone.Bias + zone.DaylightBias;
    }
    return zone.Bias + zone.StandardBias;
}

RtString time_string(int32_t form) {
    return format_time(form, local_time_now());
}

// Only the forms that need them query the locale and the time zone.
RtString date_string(int32_t form) {
    RtLocalTime now = local_time_now();
    switch (form) {
        case 1:
        case 2:
        case 3:
            return format_date(form, now, RtDateLocale{RtString(), 0}, 0);
        case 5:
            return format_date(form, now, RtDateLocale{RtString(), 0}, time_zone_bias());
        default:
            return format_date(form, now, user_date_locale(), 0);
    }
}
