// Benchmark of print_text: 20,000 lines printed into the text window, each at the bottom so that
// every line scrolls, against a bare loop that does the same drawing (TextOutA on the window DC
// and the backing bitmap's DC; at the bottom the backing bitmap scrolled in itself, the new line
// blanked and written there and the window painted from it; the window has no children to scroll) in the same run. Prints both times and their ratio. The long-print row
// prints one text of 1.2 MB with wrapping on, against the same lines printed one by one without wrapping. A program of
// the runtime; not run by ctest. Usage: print_benchmark [lines [rounds [long print in KB, 0 skips it]]]
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

// The same pixels without the runtime: the font and colours set once, the text drawn on both DCs;
// at the bottom the backing bitmap scrolled in itself, its last line blanked and written, and the
// window painted from it.
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
        std::string text = line_text(i);
        int length = static_cast<int>(text.size());
        if (row < rows - 1) {
            TextOutA(window_dc, 0, row * line_height, text.data(), length);
            TextOutA(memory_dc, 0, row * line_height, text.data(), length);
            ++row;
            continue;
        }
        RECT area;
        GetClientRect(window, &area);
        --row;
        BitBlt(memory_dc, 0, 0, area.right, area.bottom - line_height, memory_dc, 0, line_height, SRCCOPY);
        RECT line = {0, row * line_height, area.right, (row + 1) * line_height};
        ExtTextOutA(memory_dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
        TextOutA(memory_dc, 0, row * line_height, text.data(), length);
        BitBlt(window_dc, 0, 0, area.right, area.bottom, memory_dc, 0, 0, SRCCOPY);
        ++row;
    }
    GdiFlush();
    return now_ms() - start;
}

// A text of size bytes without line ends: numbered words, so that every wrapped line differs.
RtString long_text(int size) {
    std::string text;
    text.reserve(static_cast<size_t>(size) + 16);
    for (int i = 0; static_cast<int>(text.size()) < size; ++i) {
        text += "Wort" + std::to_string(i) + " ";
    }
    text.resize(static_cast<size_t>(size));
    return RtString(text.c_str());
}

double run_long_wrapped(const RtString& text) {
    clear_window();
    double start = now_ms();
    print_text(text, kPrintNewLine, true, false);
    GdiFlush();
    return now_ms() - start;
}

// The lines that wrapping makes of the text, each printed by itself without wrapping.
double run_long_lines(const RtString& text) {
    clear_window();
    int32_t columns = g_windows.client_width / g_windows.char_width;
    double start = now_ms();
    for (int32_t at = 0; at < text.length; at += columns) {
        int32_t n = text.length - at < columns ? text.length - at : columns;
        print_text(RtString(text.data, at, n), kPrintNewLine, false, false);
    }
    GdiFlush();
    return now_ms() - start;
}

int argument(int n, int fallback) {
    std::string value = parameter_count() >= n ? std::string(parameter_string(n).c_str()) : "";
    return value.empty() ? fallback : std::atoi(value.c_str());
}

// Runs the baseline and the measured case rounds times, printing each round's times, and prints
// the best of each and their ratio.
template <typename Baseline, typename Measured>
void compare(int rounds, const char* what, const char* names, double target, Baseline baseline, Measured measured) {
    double best_baseline = 1e300;
    double best_measured = 1e300;
    for (int round = 0; round < rounds; ++round) {
        double base = baseline();
        double measure = measured();
        body_printf("round %d: %s %.1f ms against %.1f ms", round + 1, what, measure, base);
        best_baseline = base < best_baseline ? base : best_baseline;
        best_measured = measure < best_measured ? measure : best_measured;
    }
    body_printf("%s (%s): best %.1f ms against %.1f ms, ratio=%.2f (target <= %.1f)", what, names, best_measured,
                best_baseline, best_measured / best_baseline, target);
}

}  // namespace

void program_body() {
    int lines = argument(1, 20000);
    int rounds = argument(2, 3);
    char what[64];
    std::snprintf(what, sizeof what, "%d lines", lines);
    compare(
        rounds, what, "print_text against bare", 1.1, [&] { return run_bare(lines); },
        [&] { return run_print_text(lines); });
    int long_kb = argument(3, 1200);
    if (long_kb <= 0) {
        return;
    }
    RtString text = long_text(long_kb * 1024);
    std::snprintf(what, sizeof what, "long print of %d KB", long_kb);
    compare(
        rounds, what, "wrapped against as lines", 1.5, [&] { return run_long_lines(text); },
        [&] { return run_long_wrapped(text); });
}
