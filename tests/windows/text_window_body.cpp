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

void scenario_confirm() {
    g_windows.confirm_question.assign_cstring("Wirklich beenden?");
    g_windows.confirm_caption.assign_cstring("Frage");
    g_windows.confirm_close = 1;
    print("confirm", kPrintNewLine);
    body_print("ready");
    for (int i = 0;; ++i) {
        body_printf("alive=%d", i);
        Sleep(100);
    }
}

// Counts until the window was sized (event code 4 and a new size).
void scenario_suspend() {
    print("suspend", kPrintNewLine);
    RECT start;
    GetWindowRect(g_core.text_window, &start);
    InterlockedExchange(&g_windows.event_code, 0);
    body_print("ready");
    for (int tick = 0;; ++tick) {
        body_printf("tick=%d", tick);
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
    } else if (scenario == "confirm") {
        scenario_confirm();
    } else if (scenario == "suspend") {
        scenario_suspend();
    } else if (scenario == "events") {
        scenario_events();
    } else if (scenario == "place") {
        scenario_place();
    }
}
