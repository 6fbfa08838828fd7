#include "runtime/settings/date_format.h"

#include <cstdio>

namespace {

// The split literal keeps the hex escape apart from the letters behind it.
// clang-format off
const char* const kGermanMonths[] = {"Januar", "Februar", "M\xE4" "rz", "April", "Mai", "Juni",
                                     "Juli", "August", "September", "Oktober", "November", "Dezember"};
// clang-format on
const char* const kGermanWeekdays[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
const char* const kEnglishMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kEnglishWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kOrderCodes[] = {"Mdy", "dMy", "yMd"};

constexpr char kRule[] = "-----------------------------------------------------";  // 53 hyphens

// A name from a table; an index the system never reports gives "" rather than a stray read.
template <size_t N>
const char* name_at(const char* const (&table)[N], int index) {
    return index >= 0 && static_cast<size_t>(index) < N ? table[index] : "";
}

void append_number(RtString& text, unsigned value) {
    char digits[12];
    int n = std::snprintf(digits, sizeof digits, "%u", value);
    text.append_bytes(digits, static_cast<size_t>(n));
}

// Below 10 a leading 0, otherwise the plain number.
void append_two_digits(RtString& text, unsigned value) {
    if (value < 10) {
        text.append_char('0');
    }
    append_number(text, value);
}

// Day and month as two digits and the year in the locale's order, joined by its separator.
RtString short_date(const RtLocalTime& t, const RtDateLocale& locale) {
    static const char kFields[3][3] = {{'M', 'd', 'y'}, {'d', 'M', 'y'}, {'y', 'M', 'd'}};
    RtString text;
    if (locale.order < 0 || locale.order > 2) {
        return text;
    }
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            text.append(locale.separator);
        }
        switch (kFields[locale.order][i]) {
            case 'd':
                append_two_digits(text, t.day);
                break;
            case 'M':
                append_two_digits(text, t.month);
                break;
            default:
                append_number(text, t.year);
                break;
        }
    }
    return text;
}

// "6. Dezember 2026"
void append_german_date(RtString& text, const RtLocalTime& t) {
    append_number(text, t.day);
    text.append_cstring(". ");
    text.append_cstring(name_at(kGermanMonths, t.month - 1));
    text.append_char(' ');
    append_number(text, t.year);
}

// "Sun, 6 Dec 2026 7:5:9 +0100": the numbers of the time are written without leading zeros.
RtString mail_date(const RtLocalTime& t, int32_t bias) {
    RtString text(name_at(kEnglishWeekdays, t.day_of_week));
    text.append_cstring(", ");
    append_number(text, t.day);
    text.append_char(' ');
    text.append_cstring(name_at(kEnglishMonths, t.month - 1));
    text.append_char(' ');
    append_number(text, t.year);
    text.append_char(' ');
    append_number(text, t.hour);
    text.append_char(':');
    append_number(text, t.minute);
    text.append_char(':');
    append_number(text, t.second);
    text.append_char(' ');
    text.append(format_zone_offset(bias));
    return text;
}

}  // namespace

RtString format_time(int32_t form, const RtLocalTime& t) {
    RtString text;
    if (form == 0) {
        append_two_digits(text, t.hour);
        text.append_char(':');
        append_two_digits(text, t.minute);
    } else if (form == 1) {
        append_two_digits(text, t.second);
        text.append_char('.');
        append_number(text, t.milliseconds);
    }
    return text;
}

RtString format_date(int32_t form, const RtLocalTime& t, const RtDateLocale& locale, int32_t bias) {
    RtString text;
    switch (form) {
        case 0:
            return short_date(t, locale);
        case 1:
            append_german_date(text, t);
            return text;
        case 2:
            text.append_cstring(name_at(kGermanWeekdays, t.day_of_week));
            text.append_cstring(", der ");
            append_german_date(text, t);
            return text;
        case 3:
            append_number(text, t.year);
            append_two_digits(text, t.month);
            append_two_digits(text, t.day);
            return text;
        case 5:
            return mail_date(t, bias);
        default:
            text.append(locale.separator);
            text.append_cstring(name_at(kOrderCodes, locale.order));
            return text;
    }
}

// Built fresh on every call: a zone west of UTC never leaves its minus sign for the next call.
RtString format_zone_offset(int32_t bias) {
    RtString text(bias > 0 ? "-" : "+");
    unsigned a = bias < 0 ? 0u - static_cast<unsigned>(bias) : static_cast<unsigned>(bias);
    unsigned hours = a / 60;
    append_two_digits(text, hours);
    append_two_digits(text, a - 60 * hours);
    return text;
}

RtString log_header_text(const RtLocalTime& t) {
    RtString text(" \r\n");
    text.append_cstring(kRule);
    text.append_cstring("\r\n");
    text.append(format_date(2, t, RtDateLocale{RtString(), 0}, 0));
    text.append_cstring(" - ");
    text.append(format_time(0, t));
    text.append_cstring("\r\n");
    text.append_cstring(kRule);
    return text;
}
