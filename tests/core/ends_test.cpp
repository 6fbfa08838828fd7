// The two threads never wait on each other for ever: each scenario of ends_body stresses one
// meeting point for a few seconds, then must end by itself with exit code 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

constexpr DWORD kBoundMs = 20000;  // a scenario stresses for 2.5 s; a run past this bound hung

TEST(TwoThreads, EachStressedMeetingEndsByItselfWithZero) {
    // Scenario and the line it must print: searches while another program keeps the main thread in
    // the heap (the search suspended it there); a dialog procedure's calls by name while the worker
    // allocates (the call suspended the worker there); requests after another program's WM_QUIT;
    // the body ending during a move loop (which takes the WM_QUIT); posted requests copied again
    // while the main thread is busy; a window destroyed during its move loop.
    const std::pair<const char*, const char*> rows[] = {
        {"search_busy", "misses=0"}, {"main_calls", "main_calls=1"},       {"quit_requests", "missed=0"},
        {"end_moving", "moving=1"},  {"copies", "reposted=1\r\nmissed=0"}, {"destroyed_moving", "moving=1"},
    };
    for (const auto& [scenario, line] : rows) {
        SCOPED_TRACE(scenario);
        ProcessOptions options = scenario_options(scenario);
        options.timeout_ms = kBoundMs;
        ProcessResult r = run_program("ends_body.exe", options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_NE(r.output.find(std::string(line) + "\r\nend\r\n"), std::string::npos) << r.output;
    }
}

// Closing the text window at a random moment of a search (the search could hold the main thread
// suspended while it ended the worker): eight runs, four at a time.
TEST(TwoThreads, ClosingTheWindowDuringASearchEndsWithZero) {
    for (int batch = 0; batch < 2; ++batch) {
        std::unique_ptr<RunningProgram> programs[4];
        for (auto& program : programs) {
            program = std::make_unique<RunningProgram>("ends_body.exe", scenario_options("close_search"));
        }
        for (auto& program : programs) {
            HWND window = wait_for_process_window(program->process_id(), "FENSTER");
            Sleep(GetTickCount() % 300);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        for (auto& program : programs) {
            ProcessResult r = program->finish(kBoundMs);
            EXPECT_FALSE(r.timed_out);
            EXPECT_EQ(r.exit_code, 0u);
        }
    }
}

}  // namespace
