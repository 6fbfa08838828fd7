// The two threads never wait on each other for ever: each scenario of ends_body stresses one
// meeting point for a few seconds and must then end by itself with exit code 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

// A scenario stresses for at most 2.5 s; a run still going after this bound hung.
constexpr DWORD kBoundMs = 20000;

struct EndsRow {
    const char* scenario;
    std::vector<std::pair<const char*, const char*>> expected;
};

TEST(TwoThreads, EachStressedMeetingEndsByItselfWithZero) {
    const EndsRow rows[] = {
        // Searches while another program sets the window's title and size (the search suspended the
        // main thread inside the heap).
        {"search_busy", {{"found", "200"}}},
        // A dialog procedure's calls by name on the main thread while the worker allocates (the
        // call suspended the worker inside the heap).
        {"main_calls", {{"main_calls", "1"}}},
        // WM_QUIT from another program while the worker issues sent and posted requests (the
        // requests after the end were never carried out).
        {"quit_requests", {{"all_answered", "1"}}},
        // The body ends during a move loop, which takes the WM_QUIT.
        {"end_moving", {{"moving", "1"}}},
        // Posted requests copied again while the main thread is busy: each on its own record.
        {"copies", {{"all_answered", "1"}}},
        // A window destroyed during its move loop: no WM_EXITSIZEMOVE ends the pause.
        {"destroyed_moving", {{"moving", "1"}, {"destroyed", "1"}}},
    };
    for (const EndsRow& row : rows) {
        SCOPED_TRACE(row.scenario);
        ProcessOptions options = scenario_options(row.scenario);
        options.timeout_ms = kBoundMs;
        ProcessResult r = run_program("ends_body.exe", options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        for (const auto& [key, value] : row.expected) {
            EXPECT_EQ(output_value(r.output, key), value) << key << "\n" << r.output;
        }
        EXPECT_NE(r.output.find("end\r\n"), std::string::npos) << r.output;
    }
}

// Closing the text window at a random moment of a search (the search held the main thread
// suspended while it was ending the worker): eight runs, four at a time.
TEST(TwoThreads, ClosingTheWindowDuringASearchEndsWithZero) {
    for (int batch = 0; batch < 2; ++batch) {
        std::vector<std::unique_ptr<RunningProgram>> programs;
        for (int i = 0; i < 4; ++i) {
            programs.push_back(std::make_unique<RunningProgram>("ends_body.exe", scenario_options("close_search")));
        }
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(batch * 4 + i);
            RunningProgram& program = *programs[i];
            for (int waited = 0; waited < 15000 && program.output().find("ready") == std::string::npos; waited += 20) {
                Sleep(20);
            }
            HWND window = wait_for_process_window(program.process_id(), "FENSTER");
            ASSERT_NE(window, nullptr) << program.output();
            Sleep(static_cast<DWORD>(GetTickCount() % 300));
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(batch * 4 + i);
            ProcessResult r = programs[i]->finish(kBoundMs);
            EXPECT_FALSE(r.timed_out);
            EXPECT_EQ(r.exit_code, 0u);
        }
    }
}

}  // namespace
