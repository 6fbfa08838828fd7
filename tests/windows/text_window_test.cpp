// The text window in a real process under the X display: printed pixels, scrolling, clearing,
// repainting, the drawing DC, placing, closing and the worker's suspension while it is sized.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

constexpr const char* kTitle = "Brisko-Fenster";

ProcessResult run_body(const std::string& name) {
    ProcessResult r = run_program("text_window_body.exe", scenario_options(name));
    EXPECT_FALSE(r.timed_out) << name;
    EXPECT_EQ(r.exit_code, 0u) << name;
    return r;
}

void expect_values(const ProcessResult& r, std::initializer_list<std::pair<const char*, const char*>> expected) {
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(output_value(r.output, key), value) << key << "\n" << r.output;
    }
}

bool wait_for_line(const RunningProgram& program, const std::string& line, DWORD timeout_ms = 15000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
        if (program.output().find(line) != std::string::npos) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

TEST(TextWindow, PrintedTextMatchesTheSameTextDrawnIntoABitmap) {
    ProcessResult r = run_body("print");
    expect_values(r, {{"first_line", "1"},
                      {"first_line_backing", "1"},
                      {"after_de", "0,1"},
                      {"padded", "1"},
                      {"wrapped_end", "1"},
                      {"wrapped_next", "1"},
                      {"after_wrap", "3,3"},
                      {"crlf", "1"},
                      {"colours", "1"},
                      {"after_clear", "0,0"},
                      {"cleared", "1"}});
}

TEST(TextWindow, PrintingOnTheSecondToLastLineScrollsOneLine) {
    ProcessResult r = run_body("scroll");
    expect_values(r, {{"moved_up", "1"}, {"last_line", "1"}, {"row_kept", "1"}, {"backing_follows", "1"},
                      {"child_moved", "1"}, {"dc_kept", "1"}});
}

TEST(TextWindow, UncoveredWindowIsRepaintedFromTheBackingBitmapOrFlaggedWithAutopaintZero) {
    ProcessResult r = run_body("repaint");
    expect_values(r, {{"spoiled", "1"}, {"restored", "1"}, {"repaint_flag", "1"}, {"first_event", "1"}});
}

TEST(TextWindow, ClearingFillsTheDrawingDcUntilPdcReturnsToZero) {
    ProcessResult r = run_body("drawing_dc");
    expect_values(r, {{"other_filled", "1"}, {"window_kept", "1"}, {"window_filled", "1"}});
}

TEST(TextWindow, PlacingWarnsOnNegativePositionsOnceOrTwiceAndStoresTheClientSize) {
    ProcessResult r = run_body("place");
    expect_values(r, {{"created", "1"},
                      {"menu", "1"},
                      {"manifest", "1"},
                      {"warnings_creating", "1"},
                      {"warnings_placing", "2"},
                      {"placed", "-1,30,320,240"},
                      {"client_stored", "1"}});
}

// Regression: wrapping with no room for one character, or a padded field wider than the window,
// recursed until the stack overflowed; each wrapped line copied the rest, so 1.2 MB never ended.
TEST(TextWindow, WrappingWithNoRoomAFieldWiderThanTheWindowOrALongTextEnds) {
    expect_values(run_body("wrapping"), {{"no_room", "1"}, {"wide_field", "1"}, {"long", "1"}});
}

// Regression: a scroll refreshed the backing bitmap from the window, which holds no or stale
// pixels while minimised, shrunk or off the screen.
TEST(TextWindow, LinesScrolledWhileTheWindowCannotShowThemAreKept) {
    for (const char* how : {"minimised", "shrunk", "off_screen"}) {
        expect_values(run_body(std::string("lost_lines:") + how), {{"kept", "1,1"}});  // backing, window
    }
}

// Regression: the worker printed on the DCs while the main thread painted from them; GDI refused
// one of the two and the line was lost.
TEST(TextWindow, PrintingWhileTheMainThreadPaintsLosesNoLine) {
    expect_values(run_body("paint_storm"), {{"lost", "0"}});
}

// Masks of the woken input events: close the first and second, a key the first three. Positions
// after: line up from 5 and from 0, line down at the maximum, page down from 50, thumb track,
// bottom, thumb at 40000 of 100000, thumb at -50 of -100 to 100.
TEST(TextWindow, EventModeNoMenuFlagAndScrollBarRequests) {
    expect_values(run_body("event_mode"), {{"menu", "0"},
                                           {"close", "2,-2,1,3"},
                                           {"key", "116,1,7,0"},
                                           {"positions", "4 0 100 60 5 100 40000 -50 "},
                                           {"end_scroll", "255,1000"}});
}

TEST(TextWindow, ButtonCharacterAndDialogCloseBecomeInputEvents) {
    ProcessResult r = run_body("events");
    expect_values(
        r, {{"button", "255,1000"}, {"char", "3,113"}, {"dialog_close", "2,-2,1"}, {"template_close", "2,-2,1"}});
}

// 50 runs, five at a time (closing a window takes Wine two seconds without a window manager).
TEST(TextWindow, ClosingEndsTheProgramWithZeroWhileTheWorkerAllocates) {
    for (int batch = 0; batch < 10; ++batch) {
        std::vector<std::unique_ptr<RunningProgram>> programs;
        for (int i = 0; i < 5; ++i) {
            programs.push_back(std::make_unique<RunningProgram>("text_window_body.exe", scenario_options("busy")));
        }
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(batch * 5 + i);
            RunningProgram& program = *programs[i];
            ASSERT_TRUE(wait_for_line(program, "ready"));
            HWND window = wait_for_process_window(program.process_id(), "FENSTER");
            ASSERT_NE(window, nullptr);
            Sleep(i);  // meet the worker at different points of its loop
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(batch * 5 + i);
            ProcessResult r = programs[i]->finish(8000);
            ASSERT_FALSE(r.timed_out);
            ASSERT_EQ(r.exit_code, 0u);
        }
    }
}

// Regression (posted requests): the box's modal loop took the worker's posted requests from the
// thread queue and dropped them, and the worker waited for ever.
TEST(TextWindow, AnsweringNoToTheCloseQuestionKeepsTheProgramRunningAndPostedRequestsGoOnMeanwhile) {
    RunningProgram program("text_window_body.exe", scenario_options("confirm"));
    ASSERT_TRUE(wait_for_line(program, "ready"));
    HWND window = wait_for_window(kTitle);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    HWND box = wait_for_process_window(program.process_id(), "#32770");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(window_text(box), "Frage");
    size_t before = program.output().size();
    Sleep(400);
    EXPECT_GT(program.output().size(), before) << "posted requests must be carried out while the box is open";
    ASSERT_TRUE(click_button(box, IDNO));
    ASSERT_TRUE(wait_until_gone(box));
    before = program.output().size();
    Sleep(400);
    EXPECT_GT(program.output().size(), before) << "the worker must go on";
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_CLOSE, 0, 0);
    box = wait_for_process_window(program.process_id(), "#32770");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(click_button(box, IDYES));
    ProcessResult r = program.finish(10000);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
}

int ticks(const RunningProgram& program) {
    return static_cast<int>(output_lines(program.output()).size());
}

void move_mouse(int x, int y, DWORD flags = 0) {
    SetCursorPos(x, y);
    int sx = GetSystemMetrics(SM_CXSCREEN) - 1;
    int sy = GetSystemMetrics(SM_CYSCREEN) - 1;
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags, x * 65535 / sx, y * 65535 / sy, 0, 0);
}

// Moves the mouse in four steps, from one point of the screen to another, with the left button
// pressed at the start (when it is pressed at all) and released at the end.
void drag(POINT from, POINT to, bool press = true) {
    move_mouse(from.x, from.y);
    Sleep(100);
    if (press) {
        move_mouse(from.x, from.y, MOUSEEVENTF_LEFTDOWN);
    }
    for (int i = 1; i <= 4; ++i) {
        Sleep(50);
        move_mouse(from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4);
    }
    if (!press) {
        move_mouse(to.x, to.y, MOUSEEVENTF_LEFTDOWN);  // a click ends a size loop begun by the menu
    }
    move_mouse(to.x, to.y, MOUSEEVENTF_LEFTUP);
}

TEST(TextWindow, WorkerWaitsAtItsNextPrintWhileTheWindowIsSizedAndSeesEventCodeFour) {
    RunningProgram program("text_window_body.exe", scenario_options("suspend"));
    ASSERT_TRUE(wait_for_line(program, "ready"));
    HWND window = wait_for_window(kTitle);
    ASSERT_NE(window, nullptr);
    RECT r;
    GetWindowRect(window, &r);
    POINT corner = {r.right - 2, r.bottom - 2};
    move_mouse(corner.x, corner.y);
    PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, MAKELPARAM(corner.x, corner.y));
    Sleep(400);
    int during = ticks(program);
    Sleep(600);
    EXPECT_EQ(ticks(program), during) << "the worker counted on while the window was sized";
    move_mouse(corner.x + 60, corner.y + 40);
    Sleep(100);
    move_mouse(corner.x + 60, corner.y + 40, MOUSEEVENTF_LEFTDOWN);
    move_mouse(corner.x + 60, corner.y + 40, MOUSEEVENTF_LEFTUP);
    ProcessResult result = program.finish(10000);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_NE(result.output.find("event=4"), std::string::npos) << "the worker resumed and saw the new size\n"
                                                                << result.output;
}

// Regression: a thumb dragged beyond position 32767 came out negative; beyond 65535 only the
// track position holds it.
TEST(TextWindow, AThumbDraggedToTheEndOfALongScrollBarKeepsItsPosition) {
    RunningProgram program("text_window_body.exe", scenario_options("thumb_drag"));
    ASSERT_TRUE(wait_for_line(program, "ready"));
    HWND bar = FindWindowExA(wait_for_window(kTitle), nullptr, "ScrollBar", nullptr);
    ASSERT_NE(bar, nullptr);
    RECT r;
    GetWindowRect(bar, &r);
    int x = r.left + GetSystemMetrics(SM_CXHSCROLL) + 3;
    drag({x, (r.top + r.bottom) / 2}, {r.right + 20, (r.top + r.bottom) / 2});
    EXPECT_EQ(output_value(program.finish(10000).output, "dragged"), "200000");
}

// Regression: the worker was suspended for the size loop wherever it was, inside the heap too; the
// main thread then waited in its size loop for the heap's lock for ever.
TEST(TextWindow, SizingTheWindowWhileTheWorkerAllocatesNeverHangs) {
    for (int round = 0; round < 3; ++round) {
        RunningProgram program("text_window_body.exe", scenario_options("heap_busy"));
        ASSERT_TRUE(wait_for_line(program, "ready"));
        HWND window = wait_for_process_window(program.process_id(), "FENSTER");
        RECT r;
        GetWindowRect(window, &r);
        PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, MAKELPARAM(r.right - 2, r.bottom - 2));
        drag({r.right - 2, r.bottom - 2}, {r.right + 78, r.bottom + 58}, false);
        DWORD_PTR ignored = 0;
        ASSERT_NE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored), 0) << round;
    }
}

}  // namespace
