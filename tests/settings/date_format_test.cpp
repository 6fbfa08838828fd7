#include "runtime/settings/date_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

// Sunday 6 December 2026, 7:05:09.250.
const RtLocalTime kSunday{2026, 12, 0, 6, 7, 5, 9, 250};
// Sunday 1 March 2026, 9:03:07.045.
const RtLocalTime kFirstOfMarch{2026, 3, 0, 1, 9, 3, 7, 45};
// Tuesday 5 January 2027, 23:59:59.999.
const RtLocalTime kFifthOfJanuary{2027, 1, 2, 5, 23, 59, 59, 999};
// Saturday 31 October 2026, 10:10:10.0.
const RtLocalTime kSaturday{2026, 10, 6, 31, 10, 10, 10, 0};

RtDateLocale locale(const char* separator, int32_t order) {
    return RtDateLocale{RtString(separator), order};
}

struct TimeRow {
    const RtLocalTime* time;
    int32_t form;
    const char* expected;
};

TEST(DateFormat, TimeForms) {
    const TimeRow rows[] = {
        {&kSunday, 0, "07:05"},       {&kSunday, 1, "09.250"},        {&kFirstOfMarch, 0, "09:03"},
        {&kFirstOfMarch, 1, "07.45"}, {&kFifthOfJanuary, 0, "23:59"}, {&kFifthOfJanuary, 1, "59.999"},
        {&kSaturday, 0, "10:10"},     {&kSaturday, 1, "10.0"},        {&kSunday, 2, ""},
        {&kSunday, -1, ""},
    };
    for (const TimeRow& row : rows) {
        SCOPED_TRACE("form " + std::to_string(row.form) + " expecting " + row.expected);
        EXPECT_EQ(bytes(format_time(row.form, *row.time)), row.expected);
    }
}

struct DateRow {
    const RtLocalTime* time;
    int32_t form;
    const char* separator;
    int32_t order;
    int32_t bias;
    const char* expected;
};

TEST(DateFormat, DateForms) {
    const DateRow rows[] = {
        {&kSunday, 0, ".", 1, -60, "06.12.2026"},
        {&kSunday, 0, "/", 0, 0, "12/06/2026"},
        {&kSunday, 0, "-", 2, 0, "2026-12-06"},
        {&kSunday, 0, ". ", 1, 0, "06. 12. 2026"},
        {&kSunday, 0, ".", 3, 0, ""},
        {&kSunday, 1, ".", 1, 0, "6. Dezember 2026"},
        {&kSunday, 2, ".", 1, 0, "Sonntag, der 6. Dezember 2026"},
        {&kSunday, 3, ".", 1, 0, "20261206"},
        {&kSunday, 5, ".", 1, -60, "Sun, 6 Dec 2026 7:5:9 +0100"},
        {&kSunday, 4, ".", 1, 0, ".dMy"},
        {&kSunday, 7, "/", 0, 0, "/Mdy"},
        {&kSunday, -1, "-", 2, 0, "-yMd"},
        {&kSunday, 6, ".", 9, 0, "."},
        {&kFirstOfMarch, 1, ".", 1, 0,
         "1. M\xE4"
         "rz 2026"},
        {&kFirstOfMarch, 0, ".", 1, 0, "01.03.2026"},
        {&kFirstOfMarch, 2, ".", 1, 0,
         "Sonntag, der 1. M\xE4"
         "rz 2026"},
        {&kFifthOfJanuary, 3, ".", 1, 0, "20270105"},
        {&kFifthOfJanuary, 2, ".", 1, 0, "Dienstag, der 5. Januar 2027"},
        {&kFifthOfJanuary, 5, ".", 1, 300, "Tue, 5 Jan 2027 23:59:59 -0500"},
        {&kSaturday, 2, ".", 1, 0, "Samstag, der 31. Oktober 2026"},
        {&kSaturday, 5, ".", 1, 0, "Sat, 31 Oct 2026 10:10:10 +0000"},
    };
    for (const DateRow& row : rows) {
        SCOPED_TRACE("form " + std::to_string(row.form) + " expecting " + row.expected);
        EXPECT_EQ(bytes(format_date(row.form, *row.time, locale(row.separator, row.order), row.bias)), row.expected);
    }
}

TEST(DateFormat, EveryMonthAndWeekdayName) {
    const char* months[] = {"Januar",
                            "Februar",
                            "M\xE4"
                            "rz",
                            "April",
                            "Mai",
                            "Juni",
                            "Juli",
                            "August",
                            "September",
                            "Oktober",
                            "November",
                            "Dezember"};
    const char* short_months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* weekdays[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    const char* short_weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (uint16_t month = 1; month <= 12; ++month) {
        RtLocalTime t{2026, month, static_cast<uint16_t>(month % 7), 2, 0, 0, 0, 0};
        SCOPED_TRACE(month);
        EXPECT_EQ(bytes(format_date(1, t, locale(".", 1), 0)), std::string("2. ") + months[month - 1] + " 2026");
        EXPECT_EQ(bytes(format_date(2, t, locale(".", 1), 0)),
                  std::string(weekdays[month % 7]) + ", der 2. " + months[month - 1] + " 2026");
        EXPECT_EQ(bytes(format_date(5, t, locale(".", 1), 0)),
                  std::string(short_weekdays[month % 7]) + ", 2 " + short_months[month - 1] + " 2026 0:0:0 +0000");
    }
}

struct ZoneRow {
    int32_t bias;
    const char* expected;
};

TEST(DateFormat, ZoneOffsets) {
    const ZoneRow rows[] = {
        {-60, "+0100"}, {300, "-0500"},  {0, "+0000"},   {-330, "+0530"}, {-345, "+0545"},
        {210, "-0330"}, {-840, "+1400"}, {720, "-1200"}, {-60, "+0100"},
    };
    // In this order a zone east of UTC follows one west of it: the sign must not stick.
    for (const ZoneRow& row : rows) {
        SCOPED_TRACE(row.bias);
        EXPECT_EQ(bytes(format_zone_offset(row.bias)), row.expected);
    }
}

TEST(DateFormat, LogHeaderByteForByte) {
    const std::string rule(53, '-');
    EXPECT_EQ(bytes(log_header_text(kSunday)), " \r\n" + rule + "\r\nSonntag, der 6. Dezember 2026 - 07:05\r\n" + rule);
    EXPECT_EQ(bytes(log_header_text(kFirstOfMarch)), " \r\n" + rule +
                                                         "\r\nSonntag, der 1. M\xE4"
                                                         "rz 2026 - 09:03\r\n" +
                                                         rule);
}

}  // namespace
