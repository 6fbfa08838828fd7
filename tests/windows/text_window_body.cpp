// Test body for the text window: printing, scrolling, clearing, colours, repainting, the drawing
// DC, closing and the worker's suspension. Pixels are read back from the window's own DC and
// compared with the same text drawn into a bitmap of this body. Results are key=value lines.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/program/program_body.h"
#include "runtime/core/requests.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/rt_value.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_state.h"
#include "tests/support/body_output.h"

namespace {

using Pixels = std::vector<uint32_t>;

// A 32-bit top-down DIB section of w by h in its own memory DC.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* raw = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        bits = static_cast<uint32_t*>(raw);
        SelectObject(dc, bitmap);
    }
    ~Canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Pixels pixels() {
        GdiFlush();
        return Pixels(bits, bits + width * height);
    }
};

int cw() {
    return g_windows.char_width;
}
int lh() {
    return g_windows.line_height;
}

// Pixels of a rectangle of the window's DC (or of another DC).
Pixels grab(HDC source, int x, int y, int w, int h) {
    Canvas canvas(w, h);
    BitBlt(canvas.dc, 0, 0, w, h, source, x, y, SRCCOPY);
    return canvas.pixels();
}

Pixels window_cells(int column, int row, int columns, int rows = 1) {
    return grab(g_windows.window_dc, column * cw(), row * lh(), columns * cw(), rows * lh());
}

// The text as the body expects to see it: the runtime's font, text and background colour.
Pixels reference(const char* text, COLORREF fg = RGB(0, 0, 0), COLORREF bg = RGB(255, 255, 255)) {
    int n = static_cast<int>(strlen(text));
    Canvas canvas(n * cw(), lh());
    SelectObject(canvas.dc, GetStockObject(ANSI_FIXED_FONT));
    SetTextColor(canvas.dc, fg);
    SetBkColor(canvas.dc, bg);
    SetBkMode(canvas.dc, OPAQUE);
    TextOutA(canvas.dc, 0, 0, text, n);
    return canvas.pixels();
}

bool uniform(const Pixels& p, COLORREF colour) {
    // DIB pixels are 0x00RRGGBB.
    uint32_t want = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (uint32_t v : p) {
        if ((v & 0xFFFFFF) != want) {
            return false;
        }
    }
    return true;
}

void print(const char* text, int32_t end_mode, bool wrap = false, bool pad = false) {
    print_text(RtString(text), end_mode, wrap, pad);
}

RtValue set_int(const char* name, int32_t value) {
    RtValue argument = value_from_int(value, &value);
    RtValue result;
    return set_switch(result, RtString(name), 1, &argument);
}

void cursor(const char* key) {
    body_printf("%s=%d,%d", key, g_windows.cursor_column, g_windows.cursor_row);
}

void scenario_print() {
    print("abc", kPrintSpace);
    print("de", kPrintNewLine);
    body_printf("first_line=%d", window_cells(0, 0, 6) == reference("abc de") ? 1 : 0);
    body_printf("first_line_backing=%d", grab(g_windows.memory_dc, 0, 0, 6 * cw(), lh()) == reference("abc de"));
    cursor("after_de");

    g_switches.strwidth = 5;
    print("ab", kPrintNewLine, false, true);
    g_switches.strwidth = 0;
    body_printf("padded=%d", window_cells(0, 1, 5) == reference("   ab") ? 1 : 0);

    int32_t columns = g_windows.client_width / cw();
    g_windows.cursor_column = columns - 3;
    print("abcdef", kPrintStay, true);
    body_printf("wrapped_end=%d", window_cells(columns - 3, 2, 3) == reference("abc") ? 1 : 0);
    body_printf("wrapped_next=%d", window_cells(0, 3, 3) == reference("def") ? 1 : 0);
    cursor("after_wrap");
    print("", kPrintNewLine);

    print("x\r\ny", kPrintNewLine);
    body_printf("crlf=%d", window_cells(0, 4, 2) == reference("xy") ? 1 : 0);

    g_windows.text_colour = 12;
    g_windows.background_colour = 14;
    print("W", kPrintStay);
    g_windows.text_colour = 0;
    g_windows.background_colour = 15;
    body_printf("colours=%d", window_cells(0, 5, 1) == reference("W", RGB(255, 0, 0), RGB(255, 255, 0)) ? 1 : 0);

    clear_window();
    cursor("after_clear");
    body_printf("cleared=%d", uniform(window_cells(0, 0, 6, 6), RGB(255, 255, 255)) &&
                                  uniform(grab(g_windows.memory_dc, 0, 0, 6 * cw(), 6 * lh()), RGB(255, 255, 255)));
}

void scenario_scroll() {
    clear_window();
    int32_t rows = g_windows.client_height / lh();
    for (int i = 0; g_windows.cursor_row < rows - 1; ++i) {
        print(("line " + std::to_string(i)).c_str(), kPrintNewLine);
    }
    int32_t row = g_windows.cursor_row;
    Pixels before = window_cells(0, 1, 8, row - 1);
    print("last", kPrintNewLine);
    body_printf("moved_up=%d", window_cells(0, 0, 8, row - 1) == before ? 1 : 0);
    body_printf("last_line=%d", window_cells(0, row - 1, 5) == reference("last ") ? 1 : 0);
    body_printf("row_kept=%d", g_windows.cursor_row == row ? 1 : 0);
    body_printf("backing_follows=%d",
                grab(g_windows.memory_dc, 0, 0, 8 * cw(), row * lh()) == window_cells(0, 0, 8, row));
}

// Another top-level window is put over the text window and taken away again. Wine keeps a covered
// window's pixels itself and sends no paint when it is uncovered: the uncovered area is invalidated
// as Windows would do.
void cover_and_uncover() {
    RECT r;
    GetWindowRect(g_core.text_window, &r);
    ControlRecord cover = {
        1, WS_POPUP | WS_VISIBLE, 0,      "STATIC", "", r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr,
        0, g_core.instance,       nullptr};
    post_request(kReqCreateControl, &cover);
    Sleep(300);
    WindowResultRecord destroy = {cover.result, FALSE};
    post_request(kReqDestroyWindow, &destroy);
    RedrawWindow(g_core.text_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(300);
}

void scenario_repaint() {
    print("repaint me", kPrintNewLine);
    // Spoil the window's pixels only: what comes back can only come from the backing bitmap.
    RECT spoil = {0, 0, 10 * cw(), lh()};
    FillRect(g_windows.window_dc, &spoil, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    body_printf("spoiled=%d", window_cells(0, 0, 10) == reference("repaint me") ? 0 : 1);
    cover_and_uncover();
    body_printf("restored=%d", window_cells(0, 0, 10) == reference("repaint me") ? 1 : 0);

    set_int("autopaint", 0);
    InterlockedExchange(&g_windows.repaint, 0);
    WaitForSingleObject(g_windows.input_events[0], 0);
    cover_and_uncover();
    body_printf("repaint_flag=%ld", g_windows.repaint);
    body_printf("first_event=%d", WaitForSingleObject(g_windows.input_events[0], 0) == WAIT_OBJECT_0 ? 1 : 0);
}

void scenario_drawing_dc() {
    print("text", kPrintNewLine);
    Canvas other(64, 64);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    set_drawing_dc(other.dc);
    set_int("pdc", static_cast<int32_t>(reinterpret_cast<intptr_t>(other.dc)));
    clear_window(black);
    body_printf("other_filled=%d", uniform(other.pixels(), RGB(0, 0, 0)) ? 1 : 0);
    body_printf("window_kept=%d", window_cells(0, 0, 4) == reference("text") ? 1 : 0);
    set_int("pdc", 0);
    clear_window(black);
    body_printf("window_filled=%d", uniform(window_cells(0, 0, 4), RGB(0, 0, 0)) ? 1 : 0);
}

// Allocates and frees without pause until the process is ended from outside.
void scenario_busy() {
    print("busy", kPrintNewLine);
    body_print("ready");
    volatile char sink = 0;
    for (;;) {
        char* block = new char[64 + (sink & 63)];
        block[0] = 1;
        sink = static_cast<char>(sink + block[0]);
        delete[] block;
    }
}

// Each round waits through a posted request, so the rounds go on only while the main thread
// carries posted requests out, its modal loops included.
// Allocates from the process heap, which the main thread's window code uses too, until the
// process is ended from outside. The window is sized with its contents shown (as Windows does by
// default), so that the size loop resizes and paints the window as the mouse moves.
void scenario_heap_busy() {
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    print("heap busy", kPrintNewLine);
    body_print("ready");
    HANDLE heap = GetProcessHeap();
    for (SIZE_T i = 0;; ++i) {
        HeapFree(heap, 0, HeapAlloc(heap, 0, 64 + (i & 63)));
    }
}

void scenario_confirm() {
    g_windows.confirm_question.assign_cstring("Wirklich beenden?");
    g_windows.confirm_caption.assign_cstring("Frage");
    g_windows.confirm_close = 1;
    print("confirm", kPrintNewLine);
    body_print("ready");
    for (int i = 0;; ++i) {
        body_printf("alive=%d", i);
        post_request(kReqPause, reinterpret_cast<void*>(static_cast<intptr_t>(100)));
    }
}

// Counts, printing each count into the window, until the window was sized (event code 4 and a new
// size).
void scenario_suspend() {
    print("suspend", kPrintNewLine);
    RECT start;
    GetWindowRect(g_core.text_window, &start);
    InterlockedExchange(&g_windows.event_code, 0);
    body_print("ready");
    for (int tick = 0;; ++tick) {
        body_printf("tick=%d", tick);
        print(std::to_string(tick).c_str(), kPrintNewLine);
        Sleep(20);
        RECT now;
        GetWindowRect(g_core.text_window, &now);
        if (g_windows.event_code == 4 && now.right - now.left != start.right - start.left) {
            break;
        }
    }
    body_print("event=4");
}

// A button in the text window, a "DIALOG" window and a template dialog: what their messages leave
// in the input-event fields.
void scenario_events() {
    print("events", kPrintNewLine);
    ControlRecord button = {0,      WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                            0,      "BUTTON",
                            "OK",   10,
                            40,     60,
                            24,     g_core.text_window,
                            0,      nullptr,
                            nullptr};
    post_request(kReqCreateControl, &button);
    SendMessageA(button.result, BM_CLICK, 0, 0);
    body_printf("button=%ld,%ld", g_windows.event_code, g_windows.control);
    SendMessageA(g_core.text_window, WM_CHAR, 'q', 0);
    body_printf("char=%ld,%ld", g_windows.event_code, g_windows.key);

    DialogWindowRecord dialog = {"Dialogfenster", nullptr, 50, 50, 200, 150, nullptr};
    post_request(kReqDialogWindow, &dialog);
    InterlockedExchange(&g_windows.event_code, 0);
    SendMessageA(dialog.result, WM_CLOSE, 0, 0);
    body_printf("dialog_close=%ld,%ld,%d", g_windows.event_code, g_windows.key, IsWindow(dialog.result) ? 1 : 0);

    TemplateDialogRecord modeless = {0, g_core.text_window, {}, nullptr};
    post_request(kReqModelessDialog, &modeless);
    InterlockedExchange(&g_windows.event_code, 0);
    SendMessageA(modeless.result, WM_SYSCOMMAND, SC_CLOSE, 0);
    body_printf("template_close=%ld,%ld,%d", g_windows.event_code, g_windows.key, IsWindow(modeless.result) ? 1 : 0);
}

// A frameless window narrower than one character: wrapping has no room and prints unwrapped. Then
// a padded field wider than the window wraps once, and the rest is not padded again.
void scenario_no_room() {
    g_windows.style = WS_POPUP;
    place_window(0, 0, cw() / 2, 8 * lh());
    print("abcdef", kPrintNewLine, true);
    body_printf("unwrapped=%d", grab(g_windows.memory_dc, 0, 0, 6 * cw(), lh()) == reference("abcdef") ? 1 : 0);
    cursor("after");
    place_window(0, 0, 10 * cw(), 8 * lh());
    g_switches.strwidth = 12;
    print("ab", kPrintNewLine, true, true);
    g_switches.strwidth = 0;
    body_printf("wide_field=%d", window_cells(0, 2, 2) == reference("ab") ? 1 : 0);
    cursor("after_field");
}

// Numbered words without line ends, size bytes.
std::string words(size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "Wort" + std::to_string(i) + " ";
    }
    text.resize(size);
    return text;
}

// One text of 1.2 MB printed with wrapping: its last two lines end up on the last two rows.
void scenario_long_wrap() {
    place_window(0, 0, 1000, 160);
    clear_window();
    std::string text = words(1200 * 1024);
    print_text(RtString(text.c_str()), kPrintNewLine, true, false);
    size_t columns = static_cast<size_t>(g_windows.client_width / cw());
    size_t last = (text.size() - 1) / columns * columns;
    int row = g_windows.cursor_row;
    std::string last_line = text.substr(last);
    std::string before_last = text.substr(last - columns, columns);
    body_printf("last_line=%d",
                window_cells(0, row - 1, static_cast<int>(last_line.size())) == reference(last_line.c_str()));
    body_printf("line_before=%d", grab(g_windows.memory_dc, 0, (row - 2) * lh(), static_cast<int>(columns) * cw(),
                                       lh()) == reference(before_last.c_str()));
}

// Scrolls three lines while the window is minimised, shrunk below its stored size or mostly off
// the screen; afterwards the backing bitmap and the repainted window hold every line in order.
void scenario_lost_lines(const std::string& how) {
    clear_window();
    RECT r;
    GetWindowRect(g_core.text_window, &r);
    std::vector<std::string> lines;
    auto print_line = [&](const char* prefix) {
        char text[16];
        wsprintfA(text, "%s %03d", prefix, static_cast<int>(lines.size()));
        lines.push_back(text);
        print(text, kPrintNewLine);
    };
    int32_t rows = g_windows.client_height / lh();
    while (g_windows.cursor_row < rows - 1) {
        print_line("line");
    }
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (how == "minimised") {
        SendMessageA(g_core.text_window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (how == "shrunk") {
        position_window(g_core.text_window, r.left, r.top, width / 2, height / 3, 0);
    } else {
        position_window(g_core.text_window, r.left, GetSystemMetrics(SM_CYSCREEN) - 60, width, height, 0);
    }
    for (int i = 0; i < 3; ++i) {
        print_line("next");
    }
    if (how == "minimised") {
        SendMessageA(g_core.text_window, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    position_window(g_core.text_window, r.left, r.top, width, height, 0);
    RedrawWindow(g_core.text_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    bool memory_kept = true;
    bool window_shows = true;
    int row = g_windows.cursor_row;
    for (int i = 0; i < row; ++i) {
        const char* text = lines[lines.size() - static_cast<size_t>(row) + static_cast<size_t>(i)].c_str();
        memory_kept = memory_kept && grab(g_windows.memory_dc, 0, i * lh(), 8 * cw(), lh()) == reference(text);
        window_shows = window_shows && window_cells(0, i, 8) == reference(text);
    }
    body_printf("memory_kept=%d", memory_kept ? 1 : 0);
    body_printf("window_shows=%d", window_shows ? 1 : 0);
}

volatile LONG g_painting = 0;

DWORD WINAPI keep_repainting(void*) {
    while (g_painting != 0) {
        RedrawWindow(g_core.text_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    return 0;
}

// The main thread repaints the window from the backing bitmap without pause while the worker
// prints 1000 lines: each line must arrive in the backing bitmap.
void scenario_paint_storm() {
    clear_window();
    InterlockedExchange(&g_painting, 1);
    HANDLE painter = CreateThread(nullptr, 0, keep_repainting, nullptr, 0, nullptr);
    int lost = 0;
    for (int i = 0; i < 1000; ++i) {
        char text[16];
        wsprintfA(text, "line %04d", i);
        print(text, kPrintNewLine);
        enter_drawing();  // the check reads the backing bitmap too
        lost +=
            grab(g_windows.memory_dc, 0, (g_windows.cursor_row - 1) * lh(), 9 * cw(), lh()) == reference(text) ? 0 : 1;
        leave_drawing();
    }
    InterlockedExchange(&g_painting, 0);
    WaitForSingleObject(painter, INFINITE);
    CloseHandle(painter);
    body_printf("lost=%d", lost);
}

// Starts a thread that waits on each input event for a while; what woke it comes back as a mask
// (bit i: event i + 1 was pulsed or set meanwhile).
struct EventWaiters {
    HANDLE threads[4] = {};
    static DWORD WINAPI wait(void* event) {
        return WaitForSingleObject(static_cast<HANDLE>(event), 1000) == WAIT_OBJECT_0 ? 1 : 0;
    }
    EventWaiters() {
        for (int i = 0; i < 4; ++i) {
            threads[i] = CreateThread(nullptr, 0, wait, g_windows.input_events[i], 0, nullptr);
        }
        Sleep(200);  // all four are waiting before the message is sent
    }
    int mask() {
        int woken = 0;
        for (int i = 0; i < 4; ++i) {
            WaitForSingleObject(threads[i], INFINITE);
            DWORD code = 0;
            GetExitCodeThread(threads[i], &code);
            CloseHandle(threads[i]);
            woken |= static_cast<int>(code) << i;
        }
        return woken;
    }
};

// A text window without menu in event mode: closing it and pressing a key are input events.
void scenario_event_mode() {
    g_windows.no_menu = 1;
    g_windows.event_mode = 1;
    print("event mode", kPrintNewLine);
    body_printf("menu=%d", GetMenu(g_core.text_window) != nullptr ? 1 : 0);
    EventWaiters close_waiters;
    SendMessageA(g_core.text_window, WM_CLOSE, 0, 0);
    body_printf("close=%ld,%ld,%d,%d", g_windows.event_code, g_windows.key, IsWindow(g_core.text_window) ? 1 : 0,
                close_waiters.mask());
    InterlockedExchange(&g_windows.event_code, 0);
    EventWaiters key_waiters;
    SendMessageA(g_core.text_window, WM_KEYDOWN, VK_F5, 0);
    int woken = key_waiters.mask();  // a second: time enough for a posted WM_CHAR to be recorded
    body_printf("key=%ld,%ld,%d,%ld", g_windows.key, g_windows.key_down, woken, g_windows.event_code);
}

// A horizontal scroll bar control in the text window, made through the request channel.
HWND create_scroll_bar(int width, int height) {
    ControlRecord record = {0,      WS_CHILD | WS_VISIBLE | SBS_HORZ,
                            0,      "SCROLLBAR",
                            "",     10,
                            40,     width,
                            height, g_core.text_window,
                            0,      nullptr,
                            nullptr};
    post_request(kReqCreateControl, &record);
    return record.result;
}

// Scroll requests to a scroll bar control in the text window: the position each leaves.
void scenario_scroll_bars() {
    print("scroll bars", kPrintNewLine);
    HWND bar = create_scroll_bar(200, 16);
    struct Row {
        const char* name;
        int minimum, maximum, start, request, thumb;
    };
    const Row rows[] = {
        {"line_up", 0, 100, 5, SB_LINEUP, 0},
        {"line_up_at_0", 0, 100, 0, SB_LINEUP, 0},
        {"line_down", 0, 100, 5, SB_LINEDOWN, 0},
        {"line_down_at_max", 0, 100, 100, SB_LINEDOWN, 0},
        {"page_up", 0, 100, 50, SB_PAGEUP, 0},
        {"page_down", 0, 100, 50, SB_PAGEDOWN, 0},
        {"thumb", 0, 100, 5, SB_THUMBPOSITION, 70},
        {"thumb_track", 0, 100, 5, SB_THUMBTRACK, 70},
        {"top", 0, 100, 50, SB_TOP, 0},
        {"bottom", 0, 100, 50, SB_BOTTOM, 0},
        {"thumb_above_32767", 0, 100000, 5, SB_THUMBPOSITION, 40000},
        {"thumb_below_0", -100, 100, 5, SB_THUMBPOSITION, 0xFFCE},  // -50 in 16 bits
    };
    for (const Row& row : rows) {
        SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_POS, row.minimum, row.maximum, 0, row.start, 0};
        SetScrollInfo(bar, SB_CTL, &info, FALSE);
        SendMessageA(g_core.text_window, WM_HSCROLL, MAKEWPARAM(row.request, row.thumb), reinterpret_cast<LPARAM>(bar));
        body_printf("%s=%d", row.name, GetScrollPos(bar, SB_CTL));
    }
    InterlockedExchange(&g_windows.event_code, 0);
    SendMessageA(g_core.text_window, WM_HSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(bar));
    body_printf("end_scroll=%ld,%ld", g_windows.event_code, g_windows.control);
}

// A scroll bar of 200,000 positions whose thumb the driving test drags to the right end: the
// position where the drag ended.
void scenario_thumb_drag() {
    print("thumb drag", kPrintNewLine);
    HWND bar = create_scroll_bar(300, 20);
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_POS, 0, 200000, 0, 0, 0};
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    InterlockedExchange(&g_windows.event_code, 0);
    body_print("ready");
    for (int i = 0; i < 1000 && g_windows.event_code != 255; ++i) {
        Sleep(10);
    }
    body_printf("dragged=%d", GetScrollPos(bar, SB_CTL));
}

int g_warnings = 0;

void count_warning(const RtValue&) {
    ++g_warnings;
}

void scenario_place() {
    g_switches.errorlevel = -1;
    g_switches.onerror = 1;
    set_error_handler(count_warning);
    place_window(-5, 10, 300, 200);  // creates the window
    body_printf("created=%d", g_core.text_window != nullptr ? 1 : 0);
    body_printf("menu=%d", GetMenu(g_core.text_window) != nullptr ? 1 : 0);
    body_printf("manifest=%d", g_windows.has_manifest ? 1 : 0);
    body_printf("warnings_creating=%d", g_warnings);
    place_window(-1, 30, 320, 240);
    body_printf("warnings_placing=%d", g_warnings - 1);
    RECT r;
    GetWindowRect(g_core.text_window, &r);
    body_printf("placed=%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    RECT client;
    GetClientRect(g_core.text_window, &client);
    body_printf("client_stored=%d", client.right == g_windows.client_width && client.bottom == g_windows.client_height);
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "print") {
        scenario_print();
    } else if (scenario == "scroll") {
        scenario_scroll();
    } else if (scenario == "repaint") {
        scenario_repaint();
    } else if (scenario == "drawing_dc") {
        scenario_drawing_dc();
    } else if (scenario == "busy") {
        scenario_busy();
    } else if (scenario == "heap_busy") {
        scenario_heap_busy();
    } else if (scenario == "confirm") {
        scenario_confirm();
    } else if (scenario == "suspend") {
        scenario_suspend();
    } else if (scenario == "events") {
        scenario_events();
    } else if (scenario == "place") {
        scenario_place();
    } else if (scenario == "no_room") {
        scenario_no_room();
    } else if (scenario == "long_wrap") {
        scenario_long_wrap();
    } else if (scenario.compare(0, 11, "lost_lines:") == 0) {
        scenario_lost_lines(scenario.substr(11));
    } else if (scenario == "paint_storm") {
        scenario_paint_storm();
    } else if (scenario == "event_mode") {
        scenario_event_mode();
    } else if (scenario == "scroll_bars") {
        scenario_scroll_bars();
    } else if (scenario == "thumb_drag") {
        scenario_thumb_drag();
    }
}
