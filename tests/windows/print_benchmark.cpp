// Benchmark of print_text: 20,000 lines printed into the text window, each at the bottom so that
// every line scrolls, against a bare loop that does the same drawing (TextOutA on the window DC
// and the backing bitmap's DC, ScrollWindowEx and the copy into the backing bitmap) in the same
// run. Prints both times and their ratio. A program of the runtime; not run by ctest.
// Usage: print_benchmark [lines [rounds]]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/core/core_state.h"
#include "runtime/program/program_body.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_state.h"
#include "tests/support/body_output.h"

namespace {

double now_ms() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string line_text(int i) {
    char text[64];
    std::snprintf(text, sizeof text, "Zeile %05d: der schnelle braune Fuchs", i);
    return text;
}

double run_print_text(int lines) {
    clear_window();
    double start = now_ms();
    for (int i = 0; i < lines; ++i) {
        print_text(RtString(line_text(i).c_str()), kPrintNewLine, false, false);
    }
    GdiFlush();
    return now_ms() - start;
}

// The same pixels without the runtime: the font and colours set once, the text drawn on both DCs,
// and at the bottom the scroll and the backing copy.
double run_bare(int lines) {
    clear_window();
    HWND window = g_core.text_window;
    HDC window_dc = g_windows.window_dc;
    HDC memory_dc = g_windows.memory_dc;
    for (HDC dc : {window_dc, memory_dc}) {
        SelectObject(dc, g_windows.font);
        SetBkMode(dc, OPAQUE);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
    }
    int line_height = g_windows.line_height;
    int rows = g_windows.client_height / line_height;
    int row = 0;
    double start = now_ms();
    for (int i = 0; i < lines; ++i) {
        if (row >= rows - 1) {
            RECT area;
            GetClientRect(window, &area);
            RECT uncovered;
            ScrollWindowEx(window, 0, -line_height, &area, nullptr, nullptr, &uncovered, SW_SCROLLCHILDREN);
            --row;
            BitBlt(memory_dc, 0, 0, area.right, area.bottom, window_dc, 0, 0, SRCCOPY);
        }
        std::string text = line_text(i);
        TextOutA(window_dc, 0, row * line_height, text.data(), static_cast<int>(text.size()));
        TextOutA(memory_dc, 0, row * line_height, text.data(), static_cast<int>(text.size()));
        ++row;
    }
    GdiFlush();
    return now_ms() - start;
}

int argument(int n, int fallback) {
    std::string value = parameter_count() >= n ? std::string(parameter_string(n).c_str()) : "";
    return value.empty() ? fallback : std::atoi(value.c_str());
}

}  // namespace

void program_body() {
    int lines = argument(1, 20000);
    int rounds = argument(2, 3);
    double best_print = 1e300;
    double best_bare = 1e300;
    for (int round = 0; round < rounds; ++round) {
        double bare = run_bare(lines);
        double printed = run_print_text(lines);
        body_printf("round %d: print_text %.1f ms, bare %.1f ms", round + 1, printed, bare);
        best_print = printed < best_print ? printed : best_print;
        best_bare = bare < best_bare ? bare : best_bare;
    }
    body_printf("lines=%d best print_text=%.1f ms best bare=%.1f ms ratio=%.2f (target <= 1.3)", lines, best_print,
                best_bare, best_print / best_bare);
}
