// The two threads never wait on each other for ever: each scenario of ends_body stresses one
// meeting point for a few seconds, then must end by itself with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/support/process_runner.h"

namespace {

// Scenario and the end of its output: searches while another program keeps the main thread in the
// heap (the search suspended it there); a dialog procedure's calls by name while the worker
// allocates (the call suspended the worker there); the worker printing while the main thread makes
// such a call (it must wait at its next print until the call returns); requests after another
// program's WM_QUIT (the main thread no longer carried them out); posted requests copied again
// while the main thread is busy (a late copy could be taken for a later request); a window
// destroyed during its move loop (no WM_EXITSIZEMOVE ended the pause), then the body ending during
// a move loop (which takes the WM_QUIT); the text window closed during a search (the search could
// hold the main thread suspended while it ended the worker), four times.
TEST(TwoThreads, EachStressedMeetingEndsByItselfWithZero) {
    const std::pair<const char*, const char*> rows[] = {{"search_busy", "misses=0\r\nend\r\n"},
                                                        {"main_calls", "main_calls=1\r\nend\r\n"},
                                                        {"call_pauses", "paused=1\r\nend\r\n"},
                                                        {"quit_requests", "missed=0\r\nend\r\n"},
                                                        {"copies", "reposted=1\r\nmissed=0\r\nend\r\n"},
                                                        {"moving", "moving=11\r\nend\r\n"},
                                                        {"close_search", "ready\r\n"},
                                                        {"close_search", "ready\r\n"},
                                                        {"close_search", "ready\r\n"},
                                                        {"close_search", "ready\r\n"}};
    for (const auto& [scenario, tail] : rows) {
        SCOPED_TRACE(scenario);
        ProcessOptions options = scenario_options(scenario);
        options.timeout_ms = 20000;  // a scenario stresses for 2.5 s: a run past this bound hung
        ProcessResult r = run_program("ends_body.exe", options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_EQ(r.output.substr(r.output.size() - std::min(r.output.size(), strlen(tail))), tail) << r.output;
    }
}

}  // namespace
