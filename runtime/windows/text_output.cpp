#include "runtime/windows/text_output.h"

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/string_functions.h"
#include "runtime/windows/window_state.h"

namespace {

uint32_t handle_argument(const void* handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

void call_user32(const char* function, int32_t count, const uint32_t* arguments) {
    invoke_external_table(RtString("USER32"), RtString(function), count, arguments);
}

void warn_if_negative(int32_t x, int32_t y) {
    if (x < 0 || y < 0) {
        report_warning(223, nullptr);
    }
}

void prepare_dc(HDC dc) {
    SelectObject(dc, g_windows.font);
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, 0);
    SetTextColor(dc, kPalette[g_windows.text_colour & 15]);
    SetBkColor(dc, kPalette[g_windows.background_colour & 15]);
}

// Scrolls the window up one line; the line that comes free is blanked and the window's client
// area copied into the backing bitmap.
void scroll_one_line(int32_t columns) {
    HWND window = g_core.text_window;
    RECT area;
    GetClientRect(window, &area);
    // Asking for the uncovered rectangle keeps the window valid: Wine invalidates the whole window
    // when ScrollWindowEx is given neither region nor rectangle, and a paint from the backing bitmap
    // between the scroll and the copy below would undo the scroll.
    RECT uncovered;
    ScrollWindowEx(window, 0, -g_windows.line_height, &area, nullptr, nullptr, &uncovered, SW_SCROLLCHILDREN);
    --g_windows.cursor_row;
    RtString blanks = string_spaces(columns + 1);
    TextOutA(g_windows.window_dc, g_windows.cursor_column * g_windows.char_width,
             g_windows.cursor_row * g_windows.line_height, blanks.data, blanks.length);
    BitBlt(g_windows.memory_dc, 0, 0, area.right, area.bottom, g_windows.window_dc, 0, 0, SRCCOPY);
}

}  // namespace

void print_text(const RtString& original, int32_t end_mode, bool wrap, bool pad) {
    if (g_core.text_window == nullptr) {
        clear_window();
    }
    HDC window_dc = g_windows.window_dc;
    HDC memory_dc = g_windows.memory_dc;
    int window_state = SaveDC(window_dc);
    int memory_state = SaveDC(memory_dc);
    prepare_dc(window_dc);
    prepare_dc(memory_dc);

    RtString text = string_replace(original, RtString("\n"), RtString());
    text = string_replace(text, RtString("\r"), RtString());
    int32_t width = g_switches.strwidth;
    if (pad && width != 0 && text.length < width) {
        text = string_insert(string_spaces(width - text.length), text, 1);
    }
    int32_t columns = g_windows.char_width > 0 ? g_windows.client_width / g_windows.char_width : 0;
    int32_t room = columns - g_windows.cursor_column;
    RtString rest;
    bool wrapped = false;
    // Compared without sign: a cursor beyond the right edge gives a huge room and never wraps.
    if (wrap && static_cast<uint32_t>(room) < static_cast<uint32_t>(text.length)) {
        rest = string_right(text, text.length - room);
        text = string_left(text, room);
        wrapped = true;
    }
    if (end_mode == kPrintSpace) {
        text.append_char(' ');
    }
    int32_t rows = g_windows.line_height > 0 ? g_windows.client_height / g_windows.line_height : 0;
    if (g_windows.cursor_row >= rows - 1) {
        scroll_one_line(columns);
    }
    int x = g_windows.cursor_column * g_windows.char_width;
    int y = g_windows.cursor_row * g_windows.line_height;
    TextOutA(window_dc, x, y, text.data, text.length);
    TextOutA(memory_dc, x, y, text.data, text.length);
    if (end_mode == kPrintNewLine || wrapped) {
        g_windows.cursor_column = 0;
        ++g_windows.cursor_row;
    } else {
        g_windows.cursor_column += text.length;
    }
    RestoreDC(window_dc, window_state);
    RestoreDC(memory_dc, memory_state);
    if (wrapped) {
        print_text(rest, end_mode, wrap, pad);
    }
}

void clear_window(HBRUSH brush) {
    if (g_core.text_window == nullptr) {
        place_window(0, 0, 640, 480);
    }
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    FillRect(g_windows.drawing_dc, &screen, brush);
    if (g_windows.drawing_dc == g_windows.window_dc) {
        FillRect(g_windows.memory_dc, &screen, brush);
    }
    g_windows.cursor_column = 0;
    g_windows.cursor_row = 0;
    const uint32_t invalidate[] = {handle_argument(g_core.text_window), 0, 1};
    call_user32("InvalidateRect", 3, invalidate);
    const uint32_t update[] = {handle_argument(g_core.text_window)};
    call_user32("UpdateWindow", 1, update);
}

void clear_window() {
    clear_window(static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void place_window(int32_t x, int32_t y, int32_t width, int32_t height) {
    warn_if_negative(x, y);
    if (g_core.text_window != nullptr) {
        position_window(g_core.text_window, x, y, width, height, 0);
        RECT client;
        GetClientRect(g_core.text_window, &client);
        g_windows.client_width = client.right;
        g_windows.client_height = client.bottom;
        return;
    }
    // The main thread frees the record.
    send_request(kReqCreateTextWindow, reinterpret_cast<LPARAM>(new TextWindowRecord{x, y, width, height}));
}

void position_window(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t z_order) {
    warn_if_negative(x, y);
    intptr_t insert_after = 0;
    uint32_t flags = 0;
    switch (z_order) {
        case 0:
            flags = SWP_NOZORDER;
            break;
        case 1:
        case -1:
        case -2:
            insert_after = z_order;  // HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST
            break;
        default:
            break;
    }
    const uint32_t arguments[] = {handle_argument(window),
                                  static_cast<uint32_t>(insert_after),
                                  static_cast<uint32_t>(x),
                                  static_cast<uint32_t>(y),
                                  static_cast<uint32_t>(width),
                                  static_cast<uint32_t>(height),
                                  flags};
    call_user32("SetWindowPos", 7, arguments);
}

void set_drawing_dc(HDC dc) {
    g_windows.drawing_dc = dc;
}

void reset_drawing_dc() {
    g_windows.drawing_dc = g_windows.window_dc;
    g_windows.second_dc = nullptr;
}
