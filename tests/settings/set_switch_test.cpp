// set_switch and the date and time texts under Wine: the storing rules called on the test thread
// (which stands in for the main thread, so the posted requests arrive in its own queue), the log
// header in real files, and a real two-thread process of the runtime for errorlevel and fastmode.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"
#include "runtime/settings/date_time.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "tests/support/process_runner.h"

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

struct Report {
    int32_t code;
    std::string argument;
};
std::vector<Report> g_reports;

void record_error(int32_t code, const char* argument) {
    g_reports.push_back({code, argument != nullptr ? argument : ""});
}

RtValue set_value(const char* name, const RtValue& argument) {
    RtValue result;
    return set_switch(result, RtString(name), 1, &argument);
}

RtValue set_int(const char* name, int32_t value) {
    return set_value(name, value_from_int(value, &value));
}

RtValue set_text(const std::string& name, const std::string& text) {
    RtString s;
    s.append_bytes(text.data(), text.size());
    return set_value(name.c_str(), value_from_string_var(s));
}

// The request kinds waiting in this thread's queue, removed from it.
std::vector<uint32_t> take_posted() {
    std::vector<uint32_t> kinds;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, kRequestMessage, kRequestMessage, PM_REMOVE)) {
        EXPECT_EQ(msg.lParam, 0);
        kinds.push_back(static_cast<uint32_t>(msg.wParam));
    }
    return kinds;
}

class SetSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its queue
        g_core.main_thread_id = GetCurrentThreadId();
        static const bool registered = (register_core_requests(), true);  // the wake-ups' rows
        (void)registered;
        g_switches.errorlevel = 1;
        g_switches.fastmode = 0;
        g_switches.numwidth = 0;
        take_posted();
        g_reports.clear();
        install_report_routines(record_error, record_error);
    }
    void TearDown() override {
        install_report_routines(nullptr, nullptr);
        g_switches.fastmode = 0;
        take_posted();
    }
};

struct IntRow {
    const char* name;
    int32_t* variable;
};

// Plain integer switches store the value unchanged and return the previous one, whatever the
// case of the name.
TEST_F(SetSwitch, PlainIntegerSwitches) {
    const IntRow rows[] = {
        {"sqlwidth", &g_switches.sqlwidth},
        {"SQLCOLWIDTH", &g_switches.sqlcolwidth},
        {"SqlDbc", &g_switches.sqldbc},
        {"truecolor", &g_switches.truecolor},
        {"dbmemowidth", &g_switches.dbmemowidth},
        {"debugMode", &g_switches.debugmode},
        {"decimals", &g_switches.decimals},
        {"strwidth", &g_switches.strwidth},
        {"filemode", &g_switches.filemode},
        {"regex", &g_switches.regex},
        {"printres", &g_switches.printres},
        {"ogldepth", &g_switches.ogldepth},
        {"pdc", &g_switches.pdc},
    };
    for (const IntRow& row : rows) {
        SCOPED_TRACE(row.name);
        *row.variable = 1234;
        RtValue previous = set_int(row.name, -77);
        EXPECT_EQ(*row.variable, -77);
        EXPECT_EQ(previous.kind, kValueInt);
        EXPECT_EQ(previous.int_value, 1234);
        EXPECT_EQ(previous.float_value, 1234.0);
        EXPECT_EQ(bytes(previous.text), "1234");
        EXPECT_EQ(previous.ref, row.variable);
        *row.variable = 0;
    }
    EXPECT_TRUE(g_reports.empty());
    EXPECT_TRUE(take_posted().empty());
}

TEST_F(SetSwitch, ResultTextIsBuiltBeforeTheNewNumwidthApplies) {
    RtValue previous = set_int("numwidth", 5);
    EXPECT_EQ(bytes(previous.text), "0");
    previous = set_int("numwidth", 0);
    EXPECT_EQ(bytes(previous.text), "    5");
    EXPECT_EQ(g_switches.numwidth, 0);
}

TEST_F(SetSwitch, ArgumentKindIsNotChecked) {
    g_switches.sqlwidth = 0;
    set_value("sqlwidth", value_parse_text(RtString("12abc")));
    EXPECT_EQ(g_switches.sqlwidth, 12);
    int32_t number = 42;
    set_value("sqlnull", value_from_int(number, &number));
    EXPECT_EQ(bytes(g_switches.sqlnull), "42");
    g_switches.sqlwidth = 0;
    g_switches.sqlnull.clear();
}

TEST_F(SetSwitch, ErrorlevelMinusTwoTogglesFastmode) {
    set_int("errorlevel", -1);
    RtValue previous = set_int("ErrorLevel", -2);
    EXPECT_EQ(previous.int_value, -1);
    EXPECT_EQ(g_switches.errorlevel, -1) << "-2 with fastmode off leaves the errorlevel";
    EXPECT_EQ(g_switches.fastmode.load(), 1);
    EXPECT_EQ(take_posted(), std::vector<uint32_t>{kReqEnterFastLoop});

    set_int("errorlevel", -1);
    EXPECT_EQ(g_switches.errorlevel, -1);
    EXPECT_EQ(g_switches.fastmode.load(), 0) << "the current value again turns fastmode off";
    EXPECT_EQ(take_posted(), (std::vector<uint32_t>{kReqCloseOpenLoop, kReqLeaveFastLoop}));

    set_int("fastmode", 1);
    take_posted();
    set_int("errorlevel", -2);
    EXPECT_EQ(g_switches.errorlevel, -2) << "with fastmode on, -2 is stored";
    EXPECT_EQ(g_switches.fastmode.load(), 1);
    set_int("errorlevel", 0);
    EXPECT_EQ(g_switches.errorlevel, 0) << "a different value is stored while fastmode is on";
    EXPECT_EQ(g_switches.fastmode.load(), 1);
    EXPECT_TRUE(take_posted().empty());
}

TEST_F(SetSwitch, FastmodePostsOnlyOnChange) {
    RtValue previous = set_int("fastmode", 0);
    EXPECT_EQ(previous.int_value, 0);
    EXPECT_EQ(previous.ref, static_cast<void*>(&g_switches.fastmode));
    EXPECT_TRUE(take_posted().empty()) << "the same value posts nothing";

    set_int("fastmode", 1);
    EXPECT_EQ(take_posted(), std::vector<uint32_t>{kReqEnterFastLoop});
    previous = set_int("fastmode", 5);
    EXPECT_EQ(previous.int_value, 1);
    EXPECT_EQ(take_posted(), std::vector<uint32_t>{kReqEnterFastLoop}) << "1 to 5 posts the entry again";
    set_int("fastmode", 5);
    EXPECT_TRUE(take_posted().empty());
    set_int("fastmode", 0);
    EXPECT_EQ(take_posted(), (std::vector<uint32_t>{kReqCloseOpenLoop, kReqLeaveFastLoop}));
}

TEST_F(SetSwitch, OnerrorStoresOneForAnyNonzeroValue) {
    set_int("onerror", 7);
    EXPECT_EQ(set_int("onerror", -3).int_value, 1);
    EXPECT_EQ(g_switches.onerror, 1);
    set_int("onerror", 0);
    EXPECT_EQ(g_switches.onerror, 0);
}

struct CharsetRow {
    int32_t code;
    int32_t stored;
};

TEST_F(SetSwitch, CharsetCodesMapBothWays) {
    const CharsetRow rows[] = {{-1, 1}, {0, 0}, {1, 255}, {2, 2}, {77, 77}, {255, 255}, {-5, -5}};
    for (const CharsetRow& row : rows) {
        SCOPED_TRACE(row.code);
        set_int("charset", row.code);
        EXPECT_EQ(g_switches.charset, row.stored);
        RtValue back = set_int("charset", 0);
        int32_t expected = row.code == 255 ? 1 : row.code;  // 255 is stored as is and reads back as 1
        EXPECT_EQ(back.int_value, expected);
        EXPECT_EQ(bytes(back.text), std::to_string(expected));
    }
}

TEST_F(SetSwitch, RandseedReseedsAndAlwaysReturnsZero) {
    set_int("randseed", 4357);
    EXPECT_EQ(g_random.last_seed, 4357);
    EXPECT_EQ(g_random.index, 624);
    uint32_t first_word = g_random.words[0];
    RtValue previous = set_int("randseed", 99);
    EXPECT_EQ(previous.kind, kValueInt);
    EXPECT_EQ(previous.int_value, 0) << "the previous seed is not returned";
    EXPECT_EQ(g_random.last_seed, 99);
    EXPECT_NE(g_random.words[0], first_word);
    set_int("randseed", 4357);
    EXPECT_EQ(g_random.words[0], first_word) << "the same seed gives the same state";
}

TEST_F(SetSwitch, SqldelKeepsDelimiterAndRemainder) {
    g_switches.sqldel.assign_cstring(",");
    g_switches.sqldel_rest.clear();
    RtValue previous = set_text("sqldel", "");
    EXPECT_EQ(previous.kind, kValueString);
    EXPECT_EQ(bytes(previous.text), ",");
    EXPECT_EQ(bytes(g_switches.sqldel), ",") << "an empty text keeps the delimiter";

    set_text("sqldel", "#");
    EXPECT_EQ(bytes(g_switches.sqldel), "#");
    EXPECT_EQ(bytes(g_switches.sqldel_rest), "");

    set_text("sqldel", ";'");
    EXPECT_EQ(bytes(g_switches.sqldel), ";");
    EXPECT_EQ(bytes(g_switches.sqldel_rest), "'");
    set_text("sqldel", "|");
    EXPECT_EQ(bytes(g_switches.sqldel_rest), "'") << "one character changes only the delimiter";
    g_switches.sqldel.clear();
    g_switches.sqldel_rest.clear();
}

TEST_F(SetSwitch, StringSwitchesReturnThePreviousText) {
    g_switches.sqlfile.assign_cstring("old.txt");
    RtValue previous = set_text("SQLFILE", "new.txt");
    EXPECT_EQ(previous.kind, kValueString);
    EXPECT_EQ(previous.int_value, 0);
    EXPECT_EQ(previous.float_value, 0.0);
    EXPECT_EQ(bytes(previous.text), "old.txt");
    EXPECT_EQ(previous.ref, &g_switches.sqlfile);
    EXPECT_EQ(bytes(g_switches.sqlfile), "new.txt");
    g_switches.sqlfile.clear();
}

TEST_F(SetSwitch, ListdelEndsAtItsFirstNulByte) {
    g_switches.listdel.assign_cstring("|");
    RtValue previous = set_text("listdel", std::string("ab\0cd", 5));
    EXPECT_EQ(bytes(previous.text), "|");
    EXPECT_EQ(g_switches.listdel.length, 2);
    EXPECT_EQ(bytes(g_switches.listdel), "ab");
    g_switches.listdel.assign_cstring("|");
}

TEST_F(SetSwitch, MessagemodeAndAutopaintReturnAPrivateCopy) {
    g_switches.messagemode = 1;
    g_switches.autopaint = 2;
    RtValue mode = set_int("messagemode", 0);
    RtValue paint = set_int("autopaint", 3);
    EXPECT_EQ(mode.int_value, 1);
    EXPECT_EQ(paint.int_value, 2);
    EXPECT_EQ(g_switches.messagemode.load(), 0);
    EXPECT_EQ(g_switches.autopaint.load(), 3);
    ASSERT_NE(mode.ref, nullptr);
    EXPECT_NE(mode.ref, static_cast<void*>(&g_switches.messagemode));
    EXPECT_EQ(*static_cast<int32_t*>(mode.ref), 1);
    EXPECT_EQ(*static_cast<int32_t*>(paint.ref), 2);
}

int g_dc_resets = 0;

TEST_F(SetSwitch, PdcZeroReturnsDrawingToTheTextWindow) {
    g_dc_resets = 0;
    install_drawing_dc_reset([] { ++g_dc_resets; });
    set_int("pdc", 1234);
    EXPECT_EQ(g_dc_resets, 0);
    EXPECT_EQ(set_int("pdc", 0).int_value, 1234);
    EXPECT_EQ(g_dc_resets, 1);
    install_drawing_dc_reset(nullptr);
    set_int("pdc", 0);
    EXPECT_EQ(g_dc_resets, 1);
}

TEST_F(SetSwitch, UnknownNameIsError262InCapitals) {
    int32_t errorlevel = g_switches.errorlevel;
    RtValue result = set_int("fooBar", 3);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].code, 262);
    EXPECT_EQ(g_reports[0].argument, "FOOBAR");
    EXPECT_EQ(result.kind, kValueString);
    EXPECT_EQ(bytes(result.text), "");
    EXPECT_EQ(result.int_value, 0);
    EXPECT_EQ(g_switches.errorlevel, errorlevel);

    set_int("errorlevel ", 3);  // a trailing blank is not the same name
    set_int("", 3);
    ASSERT_EQ(g_reports.size(), 3u);
    EXPECT_EQ(g_reports[1].argument, "ERRORLEVEL ");
    EXPECT_EQ(g_reports[2].argument, "");
}

std::string temp_file(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + name;
    DeleteFileA(path.c_str());
    return path;
}

// The header as it must stand in the file, for a date and time read around the call.
std::string header_for(const std::string& date, const std::string& time) {
    const std::string rule(53, '-');
    return " \r\n" + rule + "\r\n" + date + " - " + time + "\r\n" + rule + "\r\n";
}

TEST_F(SetSwitch, LogfileAppendsAHeaderEachTimeItIsSet) {
    std::string path = temp_file("set_switch_log.txt");
    {
        std::ofstream existing(path, std::ios::binary);
        existing << "earlier line\r\n";
    }
    std::string date_before = bytes(date_string(2));
    std::string time_before = bytes(time_string(0));
    set_text("logfile", path);
    set_text("LOGFILE", path);
    std::string date_after = bytes(date_string(2));
    std::string time_after = bytes(time_string(0));
    RtValue previous = set_text("logfile", "");
    EXPECT_EQ(bytes(previous.text), path);

    std::string content = read_file_bytes(path);
    std::string header = header_for(date_before, time_before);
    if (content != "earlier line\r\n" + header + header) {
        header = header_for(date_after, time_after);  // the minute turned during the calls
    }
    EXPECT_EQ(content, "earlier line\r\n" + header + header)
        << "setting the name again appends another header; setting it empty writes nothing";
    EXPECT_EQ(g_switches.logfile.length, 0);
    DeleteFileA(path.c_str());
}

TEST_F(SetSwitch, LogfileInAMissingFolderWritesNothingAndStillStoresTheName) {
    std::string path = temp_file("no_such_folder\\log.txt");
    set_text("logfile", path);
    EXPECT_EQ(bytes(g_switches.logfile), path);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    set_text("logfile", "");
}

// The public functions read the real clock, locale and zone; their forms must agree with each
// other and with what Win32 reports.
TEST(DateTime, FormsAgreeWithTheClockAndTheLocale) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    std::string compact = bytes(date_string(3));
    std::string order_form = bytes(date_string(4));
    std::string short_date = bytes(date_string(0));
    std::string mail = bytes(date_string(5));
    std::string hhmm = bytes(time_string(0));
    ASSERT_EQ(compact.size(), 8u);
    char expected_compact[16];
    std::snprintf(expected_compact, sizeof expected_compact, "%04u%02u%02u", before.wYear, before.wMonth, before.wDay);
    EXPECT_EQ(compact, expected_compact);
    EXPECT_EQ(bytes(date_string(7)), order_form) << "unknown forms give the separator and order code";
    EXPECT_EQ(bytes(date_string(-1)), order_form);

    char separator[16] = {};
    char order[2] = {};
    GetLocaleInfoA(0x400, LOCALE_SDATE, separator, sizeof separator);
    GetLocaleInfoA(0x400, LOCALE_IDATE, order, sizeof order);
    const char* codes[] = {"Mdy", "dMy", "yMd"};
    int order_value = order[0] - '0';
    ASSERT_TRUE(order_value >= 0 && order_value <= 2) << order;
    EXPECT_EQ(order_form, std::string(separator) + codes[order_value]);

    std::string y = compact.substr(0, 4), m = compact.substr(4, 2), d = compact.substr(6, 2);
    std::string sep(separator);
    const std::string expected_short[] = {m + sep + d + sep + y, d + sep + m + sep + y, y + sep + m + sep + d};
    EXPECT_EQ(short_date, expected_short[order_value]);

    ASSERT_EQ(hhmm.size(), 5u);
    EXPECT_EQ(hhmm[2], ':');
    EXPECT_EQ(bytes(time_string(9)), "");
    // "Sun, 6 Dec 2026 7:5:9 +0100": the zone is the last five characters.
    ASSERT_GT(mail.size(), 6u);
    std::string zone = mail.substr(mail.size() - 5);
    int32_t bias = time_zone_bias();
    EXPECT_EQ(zone, bytes(format_zone_offset(bias)));
    EXPECT_EQ(zone[0], bias > 0 ? '-' : '+');
}

ProcessResult run_switch_body(const std::string& scenario, DWORD timeout_ms = 20000) {
    ProcessOptions options;
    options.environment = {{"RT_SCENARIO", scenario}};
    options.timeout_ms = timeout_ms;
    return run_program("switch_body.exe", options);
}

TEST(SetSwitchProcess, ErrorlevelMinusTwoDrivesTheFastLoopOfTheMainThread) {
    ProcessResult r = run_switch_body("fastmode");
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "hook"), "1");
    EXPECT_EQ(output_value(r.output, "previous"), "-1");
    EXPECT_EQ(output_value(r.output, "minus2_errorlevel"), "-1");
    EXPECT_EQ(output_value(r.output, "minus2_fastmode"), "1");
    EXPECT_EQ(output_value(r.output, "kinds_on"), "A015");
    EXPECT_EQ(output_value(r.output, "repeat_errorlevel"), "-1");
    EXPECT_EQ(output_value(r.output, "repeat_fastmode"), "0");
    EXPECT_EQ(output_value(r.output, "kinds_off"), "A015,A018,A016");
    EXPECT_EQ(output_value(r.output, "minus2_in_fastmode_errorlevel"), "-2");
    EXPECT_EQ(output_value(r.output, "kinds_all"), "A015,A018,A016,A015,A018,A016");
    EXPECT_NE(r.output.find("end"), std::string::npos);
}

// The body returns while fastmode is on: the main thread sits in the fast loop, which fetches only
// request messages, and must still see the worker's WM_QUIT.
TEST(SetSwitchProcess, ProgramEndsWithCodeZeroWhileFastmodeIsOn) {
    ProcessResult r = run_switch_body("end_in_fastmode", 10000);
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "minus2_fastmode"), "1");
    EXPECT_EQ(output_value(r.output, "kinds_on"), "A015");
}

TEST(SetSwitchProcess, UnknownNameAtErrorlevelMinusOneGivesAnEmptyStringValue) {
    ProcessResult r = run_switch_body("unknown");
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "kind"), "3");
    EXPECT_EQ(output_value(r.output, "text"), "[]");
    EXPECT_EQ(output_value(r.output, "int"), "0");
    EXPECT_EQ(output_value(r.output, "code"), "262");
    EXPECT_EQ(output_value(r.output, "argument"), "FOO");
    EXPECT_EQ(output_value(r.output, "errorlevel_unchanged"), "1");
    EXPECT_NE(r.output.find("end"), std::string::npos);
}

}  // namespace
