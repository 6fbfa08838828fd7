// Test body for the text window: printing, scrolling, clearing, colours, repainting, the drawing
// DC, closing and the worker's suspension. Pixels are read back from the window's own DC and
// compared with the same text drawn into a bitmap of this body. Results are key=value lines.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/rt_value.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_requests.h"
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
    // A child made after a scroll without children moves up with the text at the next scroll; a
    // print leaves the DC's own settings as it found them.
    ControlRecord child = {2, WS_CHILD | WS_VISIBLE, 0, "STATIC", "", 0, 3 * lh(), cw(), lh(), g_core.text_window,
                           7, g_core.instance, nullptr};
    post_request(kReqCreateControl, &child);
    SetTextColor(g_windows.window_dc, RGB(1, 2, 3));
    SetBkMode(g_windows.window_dc, TRANSPARENT);
    print("more", kPrintNewLine);
    POINT top = {0, 0};
    MapWindowPoints(child.result, g_core.text_window, &top, 1);
    body_printf("child_moved=%d", top.y == 2 * lh() ? 1 : 0);
    body_printf("dc_kept=%d", GetTextColor(g_windows.window_dc) == RGB(1, 2, 3) &&
                                  GetBkMode(g_windows.window_dc) == TRANSPARENT);
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

// Allocates from the process heap, which the main thread's window code uses too, until the
// process is ended from outside. The window is sized with its contents shown (as Windows does by
// default), so that the size loop resizes and paints the window as the mouse moves.
void scenario_heap_busy() {
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    print("heap busy", kPrintNewLine);
    body_print("ready");
    for (SIZE_T i = 0;; ++i) {
        HeapFree(GetProcessHeap(), 0, HeapAlloc(GetProcessHeap(), 0, 64 + (i & 63)));
    }
}

// Each round waits through a posted request, so the rounds go on only while the main thread
// carries posted requests out, its modal loops included.
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

// A frameless window narrower than one character prints unwrapped; a padded field wider than the
// window wraps once, unpadded after; 1.2 MB of numbered words wrap to their last line.
void scenario_wrapping() {
    g_windows.style = WS_POPUP;
    place_window(0, 0, cw() / 2, 8 * lh());
    print("abcdef", kPrintNewLine, true);
    body_printf("no_room=%d", grab(g_windows.memory_dc, 0, 0, 6 * cw(), lh()) == reference("abcdef") ? 1 : 0);
    place_window(0, 0, 10 * cw(), 8 * lh());
    g_switches.strwidth = 12;
    print("ab", kPrintNewLine, true, true);
    g_switches.strwidth = 0;
    body_printf("wide_field=%d", window_cells(0, 2, 2) == reference("ab") ? 1 : 0);
    place_window(0, 0, 1000, 8 * lh());
    std::string text;
    for (int i = 0; text.size() < 1200 * 1024; ++i) {
        text += "Wort" + std::to_string(i) + " ";
    }
    print(text.c_str(), kPrintNewLine, true);
    size_t columns = static_cast<size_t>(g_windows.client_width / cw());
    std::string last = text.substr((text.size() - 1) / columns * columns);
    body_printf("long=%d",
                window_cells(0, g_windows.cursor_row - 1, static_cast<int>(last.size())) == reference(last.c_str()));
}

// Lines printed while the window is minimised, shrunk below its stored size or mostly off the
// screen: afterwards the backing bitmap and the repainted window show the last lines in order.
void scenario_lost_lines(const std::string& how) {
    clear_window();
    RECT r;
    GetWindowRect(g_core.text_window, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    int rows = g_windows.client_height / lh();
    auto line = [](int i) { return "line " + std::to_string(1000 + i); };
    for (int i = 0; i < rows + 2; ++i) {
        if (i == rows - 1) {  // the last three lines scroll
            if (how == "minimised") {
                SendMessageA(g_core.text_window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            }
            position_window(g_core.text_window, r.left, how == "off_screen" ? GetSystemMetrics(SM_CYSCREEN) - 60 : 0,
                            how == "shrunk" ? width / 2 : width, how == "shrunk" ? height / 3 : height, 0);
        }
        print(line(i).c_str(), kPrintNewLine);
    }
    SendMessageA(g_core.text_window, WM_SYSCOMMAND, SC_RESTORE, 0);
    position_window(g_core.text_window, r.left, r.top, width, height, 0);
    auto all_shown = [&](bool window) {
        for (int row = 0; row < g_windows.cursor_row; ++row) {
            Pixels shown = window ? window_cells(0, row, 9) : grab(g_windows.memory_dc, 0, row * lh(), 9 * cw(), lh());
            if (shown != reference(line(rows + 2 - g_windows.cursor_row + row).c_str())) {
                return false;
            }
        }
        return true;
    };
    bool window_shows = false;
    for (int i = 0; i < 10 && !window_shows; ++i) {  // Wine may finish a resize after a first paint
        RedrawWindow(g_core.text_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        window_shows = all_shown(true);
        Sleep(window_shows ? 0 : 100);
    }
    body_printf("kept=%d,%d", all_shown(false) ? 1 : 0, window_shows ? 1 : 0);
}

// The main thread repaints the window from the backing bitmap without pause while the worker
// prints 1000 lines: each line must arrive in the backing bitmap.
void scenario_paint_storm() {
    clear_window();
    std::atomic<bool> painting{true};
    std::thread painter([&] {
        while (painting) {
            RedrawWindow(g_core.text_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
    });
    int lost = 0;
    for (int i = 1000; i < 2000; ++i) {
        std::string text = "line " + std::to_string(i);
        print(text.c_str(), kPrintNewLine);
        enter_drawing();  // the check reads the backing bitmap too
        lost +=
            grab(g_windows.memory_dc, 0, (g_windows.cursor_row - 1) * lh(), 9 * cw(), lh()) != reference(text.c_str());
        leave_drawing();
    }
    painting = false;
    painter.join();
    body_printf("lost=%d", lost);
}

// Sends the message to the text window, and only a second later looks at each input event; bit i
// of the result: event i + 1 was set and waited for a late waiter (a pulse would be gone by then).
int woken_by(UINT message, WPARAM wparam) {
    for (HANDLE event : g_windows.input_events) {
        WaitForSingleObject(event, 0);  // taken: none is set before the message
    }
    SendMessageA(g_core.text_window, message, wparam, 0);
    Sleep(1000);
    int woken = 0;
    for (int i = 0; i < 4; ++i) {
        woken |= WaitForSingleObject(g_windows.input_events[i], 0) == WAIT_OBJECT_0 ? 1 << i : 0;
    }
    return woken;
}

// A horizontal scroll bar control in the text window, made through the request channel.
HWND create_scroll_bar(int width, int minimum, int maximum) {
    ControlRecord record = {
        0,      WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, "SCROLLBAR", "", 10, 40, width, 20, g_core.text_window, 0, nullptr,
        nullptr};
    post_request(kReqCreateControl, &record);
    SCROLLINFO info = {sizeof info, SIF_RANGE, minimum, maximum, 0, 0, 0};
    SetScrollInfo(record.result, SB_CTL, &info, TRUE);
    return record.result;
}

// A text window without menu in event mode: closing it and pressing a key are input events. Then
// scroll requests to a scroll bar control: the position each leaves.
void scenario_event_mode() {
    g_windows.no_menu = 1;
    g_windows.event_mode = 1;
    print("event mode", kPrintNewLine);
    body_printf("menu=%d", GetMenu(g_core.text_window) != nullptr ? 1 : 0);
    int woken = woken_by(WM_CLOSE, 0);
    body_printf("close=%ld,%ld,%d,%d", g_windows.event_code, g_windows.key, IsWindow(g_core.text_window), woken);
    InterlockedExchange(&g_windows.event_code, 0);
    woken = woken_by(WM_KEYDOWN, VK_F5);  // time enough for a posted WM_CHAR to be recorded
    body_printf("key=%ld,%ld,%d,%ld", g_windows.key, g_windows.key_down, woken, g_windows.event_code);

    HWND bar = create_scroll_bar(200, 0, 100);
    struct Row {
        int minimum, maximum, start, request, thumb;
    };
    const Row rows[] = {
        {0, 100, 5, SB_LINEUP, 0},
        {0, 100, 0, SB_LINEUP, 0},
        {0, 100, 100, SB_LINEDOWN, 0},
        {0, 100, 50, SB_PAGEDOWN, 0},
        {0, 100, 5, SB_THUMBTRACK, 70},
        {0, 100, 50, SB_BOTTOM, 0},
        {0, 100000, 5, SB_THUMBPOSITION, 40000},
        {-100, 100, 5, SB_THUMBPOSITION, 0xFFCE},  // -50 in 16 bits
    };
    std::string positions;
    for (const Row& row : rows) {
        SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_POS, row.minimum, row.maximum, 0, row.start, 0};
        SetScrollInfo(bar, SB_CTL, &info, FALSE);
        SendMessageA(g_core.text_window, WM_HSCROLL, MAKEWPARAM(row.request, row.thumb), reinterpret_cast<LPARAM>(bar));
        positions += std::to_string(GetScrollPos(bar, SB_CTL)) + " ";
    }
    body_printf("positions=%s", positions.c_str());
    SendMessageA(g_core.text_window, WM_HSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(bar));
    body_printf("end_scroll=%ld,%ld", g_windows.event_code, g_windows.control);
}

// A scroll bar of 200,000 positions whose thumb the driving test drags to the right end.
void scenario_thumb_drag() {
    print("thumb drag", kPrintNewLine);
    HWND bar = create_scroll_bar(300, 0, 200000);
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
    } else if (scenario == "wrapping") {
        scenario_wrapping();
    } else if (scenario.compare(0, 11, "lost_lines:") == 0) {
        scenario_lost_lines(scenario.substr(11));
    } else if (scenario == "paint_storm") {
        scenario_paint_storm();
    } else if (scenario == "event_mode") {
        scenario_event_mode();
    } else if (scenario == "thumb_drag") {
        scenario_thumb_drag();
    }
}
