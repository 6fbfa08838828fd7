// The two threads never wait on each other for ever: each scenario of ends_body stresses one
// meeting point for a few seconds, or meets one way of freezing a window or hanging the program,
// then must end by itself with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/support/process_runner.h"

namespace {

struct EndsRow {
    const char* scenario;
    const char* tail;  // the end of its output
    bool wrote_lines;  // every line it reported writing is in its file
};

// Every number the body reported writing is in its file: the file's last whole line is at least
// the last number reported. No posted request came back unfilled.
void expect_reported_lines_written(const std::string& output) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string text = read_file_bytes(std::string(temp) + "ends_lines.txt");
    size_t end = text.rfind("\r\n");
    size_t start = end == std::string::npos || end == 0 ? 0 : text.rfind("\r\n", end - 1);
    start = start == std::string::npos || end == std::string::npos || start == 0 ? 0 : start + 2;
    int last_written = end == std::string::npos ? 0 : std::stoi(text.substr(start, end - start));
    size_t reported = output.rfind("wrote=");
    ASSERT_NE(reported, std::string::npos) << "no line written";
    EXPECT_GE(last_written, std::stoi(output.substr(reported + 6))) << "reported lines missing from the file";
    EXPECT_EQ(output.find("unfilled"), std::string::npos) << "a posted request came back not carried out";
}

// Scenario and the end of its output: searches while another program keeps the main thread in the
// heap (the search suspended it there); a dialog procedure's calls by name while the worker
// allocates (the call suspended the worker there); the worker printing, and posting requests,
// while the main thread makes such a call (it must wait at its next print or request until the
// call returns, or the box's loop carries its requests out meanwhile); requests after another
// program's WM_QUIT (the main thread no longer carried them out); posted requests copied again
// while the main thread is busy (a late copy could be taken for a later request); a window
// destroyed during its move loop (no WM_EXITSIZEMOVE ended the pause), then the body ending during
// a move loop (which takes the WM_QUIT); fastmode switched off while the main thread is busy and at
// once a box, whose loop took the wake-ups (the fast loop went on for ever); a dialog whose timer
// keeps the queue full (the pump and the end after the body waited for an empty queue); requests
// posted while another thread's send runs a modal loop (they were taken for sent ones and lost);
// another program's WM_QUIT with fastmode on, and the text window closed, while the worker writes
// a file (clean-up ran under the worker, the flush did not wait for it); a long pause (the window
// neither painted nor closed); the text window closed during a search (the search could hold the
// main thread suspended while it ended the worker), four times.
TEST(TwoThreads, EachStressedMeetingEndsByItselfWithZero) {
    const EndsRow rows[] = {{"search_busy", "misses=0\r\nend\r\n", false},
                            {"main_calls", "main_calls=1\r\nend\r\n", false},
                            {"call_pauses", "paused=1\r\nend\r\n", false},
                            {"box_pauses", "paused=1\r\nend\r\n", false},
                            {"quit_requests", "missed=0\r\nend\r\n", false},
                            {"copies", "reposted=1\r\nmissed=0\r\nend\r\n", false},
                            {"moving", "moving=11\r\nend\r\n", false},
                            {"fastmode_box", "repainted=1\r\nend\r\n", false},
                            {"busy_dialog", "pumped=1\r\nend\r\n", false},
                            {"requests_in_send", "prompt=1\r\nown_dialog=1\r\nend\r\n", false},
                            {"fastmode_quit", "", true},
                            {"close_writing", "", true},
                            {"pause_alive", "repainted=1\r\n", false},
                            {"close_search", "ready\r\n", false},
                            {"close_search", "ready\r\n", false},
                            {"close_search", "ready\r\n", false},
                            {"close_search", "ready\r\n", false}};
    for (const EndsRow& row : rows) {
        SCOPED_TRACE(row.scenario);
        ProcessOptions options = scenario_options(row.scenario);
        options.timeout_ms = 20000;  // a scenario stresses for 2.5 s: a run past this bound hung
        ProcessResult r = run_program("ends_body.exe", options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0u);
        std::string tail = row.tail;
        EXPECT_EQ(r.output.substr(r.output.size() - std::min(r.output.size(), tail.size())), tail) << r.output;
        if (row.wrote_lines) {
            expect_reported_lines_written(r.output);
        }
    }
}

}  // namespace
