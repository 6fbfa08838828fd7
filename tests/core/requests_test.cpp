// The request channel, the fast loop and external calls, each in a real process of the runtime.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

ProcessResult run_channel(const std::string& name, DWORD timeout_ms = 30000) {
    ProcessOptions options = scenario_options(name);
    options.timeout_ms = timeout_ms;
    ProcessResult r = run_program("channel_body.exe", options);
    EXPECT_FALSE(r.timed_out) << name;
    EXPECT_EQ(r.exit_code, 0u) << name;
    EXPECT_EQ(output_value(r.output, "unsignalled_posts"), "0") << name;
    return r;
}

// The table as the modules registered it in a running program.
TEST(Requests, OnlyTheKindsTheDispatcherSignalsMayBePostedWithAWait) {
    const uint32_t not_signalled[] = {0xA00B, 0xA014, 0xA015, 0xA016, 0xA017, 0xA018};
    std::string expected;
    for (uint32_t kind = 0xA001; kind <= 0xA01D; ++kind) {
        if (std::find(std::begin(not_signalled), std::end(not_signalled), kind) == std::end(not_signalled)) {
            char hex[8];
            snprintf(hex, sizeof hex, "%X", kind);
            expected += (expected.empty() ? "" : ",") + std::string(hex);
        }
    }
    ProcessResult r = run_channel("signalling_kinds");
    EXPECT_EQ(output_value(r.output, "signalling"), expected);
}

TEST(Requests, EverySignallingKindComesBack) {
    ProcessResult r = run_channel("signals");
    EXPECT_EQ(output_value(r.output, "all_back"), "1") << r.output;
}

TEST(Requests, ANonSignallingKindPostedWithAWaitDoesNotBlock) {
    ProcessResult r = run_program("channel_body.exe", scenario_options("misposted"));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(output_value(r.output, "returned"), "1");
    EXPECT_EQ(output_value(r.output, "unsignalled_posts"), "1");
}

TEST(Requests, ControlIdCounterAndToolbarCap) {
    ProcessResult r = run_channel("control_ids");
    EXPECT_EQ(output_value(r.output, "parent"), "1");
    EXPECT_EQ(output_value(r.output, "first"), "1000");
    EXPECT_EQ(output_value(r.output, "second"), "1001");
    EXPECT_EQ(output_value(r.output, "toolbar"), "1002");
    EXPECT_EQ(output_value(r.output, "toolbar_buttons"), "99");
    EXPECT_EQ(output_value(r.output, "toolbar_last_command"), "-198");  // minus the base minus 98
    EXPECT_EQ(output_value(r.output, "tabs"), "1003");
    EXPECT_EQ(output_value(r.output, "tab_caption"), "Erster");
    EXPECT_EQ(output_value(r.output, "updown"), "1004");
    EXPECT_EQ(output_value(r.output, "status"), "1005");
    EXPECT_EQ(output_value(r.output, "own_id"), "77");
    EXPECT_EQ(output_value(r.output, "after"), "1006") << "a control with its own id must not advance the counter";
}

TEST(Requests, AcceleratorsAccumulate) {
    ProcessResult r = run_channel("accelerators");
    EXPECT_EQ(output_value(r.output, "count"), "2");
    EXPECT_EQ(output_value(r.output, "entries"), "2");
    EXPECT_EQ(output_value(r.output, "accel0"), "500,65," + std::to_string(FVIRTKEY | FCONTROL));
    EXPECT_EQ(output_value(r.output, "accel1"), "501,116," + std::to_string(FVIRTKEY | FSHIFT | FALT));
}

TEST(Requests, FileDialogOffersTheFilterPairsAndCancelEmptiesTheBuffer) {
    RunningProgram program("channel_body.exe", scenario_options("file_dialog"));
    ASSERT_TRUE(program.started());
    HWND dialog = wait_for_window("Testdatei");
    ASSERT_NE(dialog, nullptr) << program.output();
    HWND types = GetDlgItem(dialog, 0x470);  // cmb1: the file types
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(SendMessageA(types, CB_GETCOUNT, 0, 0), 2);
    // The dialog's controls are Unicode windows: read their items as such across the processes.
    wchar_t item[64] = {};
    SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"Bilder (*.jpg)");
    SendMessageW(types, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"Alle Dateien (*.*)");
    EXPECT_TRUE(click_button(dialog, IDCANCEL));
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "file"), "[]");
    EXPECT_EQ(output_value(r.output, "unsignalled_posts"), "0");
}

TEST(Requests, FolderDialogCancelClearsTheFlagAndThePath) {
    RunningProgram program("channel_body.exe", scenario_options("folder_dialog"));
    ASSERT_TRUE(program.started());
    HWND dialog = wait_for_process_window(program.process_id(), "#32770");
    ASSERT_NE(dialog, nullptr) << program.output();
    EXPECT_TRUE(click_button(dialog, IDCANCEL));
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "flag"), "0");
    EXPECT_EQ(output_value(r.output, "folder"), "[]");
}

TEST(Requests, PauseSleepsOnTheMainThread) {
    ProcessResult r = run_channel("pause");
    EXPECT_GE(std::stoi(output_value(r.output, "sent_ms")), 140);
    EXPECT_GE(std::stoi(output_value(r.output, "posted_ms")), 110);
}

TEST(FastLoop, WindowMessagesWaitUntilFastmodeEndsOrAPauseOpensTheLoop) {
    ProcessResult r = run_channel("fast_loop");
    EXPECT_EQ(output_value(r.output, "queued_in_fast_loop"), "0");
    EXPECT_EQ(output_value(r.output, "request_in_fast_loop"), "1");
    EXPECT_EQ(output_value(r.output, "after_fastmode_off"), "1");
    EXPECT_EQ(output_value(r.output, "before_pause"), "1");
    EXPECT_EQ(output_value(r.output, "after_pause"), "2");
    EXPECT_EQ(output_value(r.output, "after_off_on"), "2") << "switched off and on, the fast loop stayed open";
    EXPECT_EQ(output_value(r.output, "after_second_off"), "3");
}

TEST(FastLoop, NeitherASecondEntryNorARequestPostedToAWindowOutlivesFastmode) {
    ProcessResult r = run_channel("fast_loop_nesting");
    EXPECT_EQ(output_value(r.output, "after_second_entry"), "1") << "a second fast loop kept running";
    EXPECT_EQ(output_value(r.output, "window_request_in_fast_loop"), "0") << "a window's 0x8001 ended the fast loop";
    EXPECT_EQ(output_value(r.output, "after_fastmode_off"), "1");
}

TEST(Requests, APostOnTheMainThreadIsCarriedOutAtOnce) {
    ProcessResult r = run_channel("post_on_main_thread");
    EXPECT_EQ(output_value(r.output, "carried_out"), "1");
    EXPECT_EQ(output_value(r.output, "event_left_set"), "0");
}

TEST(FastLoop, EndingTheWorkerInsideTheFastLoopExitsWithZero) {
    ProcessOptions options = scenario_options("end_in_fast_loop");
    options.timeout_ms = 15000;
    ProcessResult r = run_program("channel_body.exe", options);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("ending"), std::string::npos);
    EXPECT_EQ(r.output.find("end\r\n"), std::string::npos) << "end_worker returned";
}

// Regression: a body that returned with fastmode on left the main thread in the fast loop, where
// a WM_QUIT posted to the thread is filtered out, and the process never ended.
TEST(FastLoop, ABodyThatReturnsWithFastmodeOnStillEndsTheProgram) {
    ProcessOptions options = scenario_options("return_in_fast_loop");
    options.timeout_ms = 15000;
    ProcessResult r = run_program("channel_body.exe", options);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("end\r\n"), std::string::npos);
}

TEST(External, ArgumentsResultsLoadingAndErrors) {
    // 20,000 calls travel from the worker to the main thread: ~20 s on a quiet machine, a minute
    // on a busy one.
    ProcessResult r = run_channel("external", 180000);
    EXPECT_EQ(output_value(r.output, "loaded_before"), "0");
    EXPECT_EQ(output_value(r.output, "zero_std"), "4711");
    EXPECT_EQ(output_value(r.output, "loaded_after"), "0") << "a library the call loaded must be unloaded";
    EXPECT_EQ(output_value(r.output, "zero_cdecl"), "815");
    EXPECT_EQ(output_value(r.output, "loads"), "2") << "the second call must load the library again";
    std::string expected = output_value(r.output, "expected33");
    EXPECT_EQ(output_value(r.output, "std33"), expected) << "33 arguments, stdcall, in order";
    EXPECT_EQ(output_value(r.output, "cdecl33"), expected) << "33 arguments, cdecl, in order";
    EXPECT_EQ(output_value(r.output, "variadic"), "3004");
    EXPECT_EQ(output_value(r.output, "many_calls"), expected);
    EXPECT_EQ(output_value(r.output, "by_file_name"), "5006");
    EXPECT_EQ(output_value(r.output, "by_file_name_loads"), "0") << "a loaded library is found by its file name";
    EXPECT_EQ(output_value(r.output, "still_loaded"), "1") << "a library the call did not load stays loaded";
    EXPECT_EQ(output_value(r.output, "worker_call_thread"), "1") << "calls from the worker run on the main thread";
    EXPECT_EQ(output_value(r.output, "main_call_thread"), "1");
    EXPECT_EQ(output_value(r.output, "missing_function"), "-1");
    EXPECT_EQ(output_value(r.output, "missing_function_code"), "248");
    EXPECT_EQ(output_value(r.output, "missing_function_argument"), "no_such_function");
    EXPECT_EQ(output_value(r.output, "loaded_after_missing"), "0");
    EXPECT_EQ(output_value(r.output, "missing_library"), "-1");
    EXPECT_EQ(output_value(r.output, "missing_library_code"), "247");
    EXPECT_EQ(output_value(r.output, "missing_library_argument"), "no_such_lib.dll");
}

TEST(External, AMainThreadCallMeanwhileLeavesTheWorkersArgumentsAlone) {
    ProcessResult r = run_channel("external_overlap");
    EXPECT_EQ(output_value(r.output, "worker_call"), "3004");
    EXPECT_EQ(output_value(r.output, "main_call"), "8009");
}

TEST(External, MissingLibraryAtStartupErrorlevelShowsTheBoxAndEnds) {
    RunningProgram program("channel_body.exe", scenario_options("external_fatal"));
    HWND box = wait_for_window("Fehler beim Laden der DLL: no_such_lib.dll");
    ASSERT_NE(box, nullptr) << program.output();
    EXPECT_TRUE(click_button(box, IDOK));
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_NE(r.output.find("calling"), std::string::npos);
    EXPECT_EQ(r.output.find("after"), std::string::npos);
}

}  // namespace
