#include "runtime/windows/text_output.h"

#include <atomic>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/string_functions.h"
#include "runtime/windows/window_requests.h"
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

// The attributes print_text sets on a DC, and what they were before: a print leaves the DC as it
// found it. Putting back only what differs costs a few calls less than SaveDC and RestoreDC, and
// none at all in the usual case where the DC keeps the runtime's settings between prints.
struct DcAttributes {
    HGDIOBJ font;
    int background_mode;
    UINT align;
    COLORREF text_colour;
    COLORREF background_colour;
};

// Selecting a font is the one costly call among them; it is skipped when the font is in already.
DcAttributes prepare_dc(HDC dc) {
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    if (font != g_windows.font) {
        SelectObject(dc, g_windows.font);
    }
    return {font, SetBkMode(dc, OPAQUE), SetTextAlign(dc, 0), SetTextColor(dc, kPalette[g_windows.text_colour & 15]),
            SetBkColor(dc, kPalette[g_windows.background_colour & 15])};
}

void restore_dc(HDC dc, const DcAttributes& before) {
    if (before.font != g_windows.font) {
        SelectObject(dc, before.font);
    }
    if (before.background_mode != OPAQUE) {
        SetBkMode(dc, before.background_mode);
    }
    if (before.align != 0) {
        SetTextAlign(dc, before.align);
    }
    if (before.text_colour != kPalette[g_windows.text_colour & 15]) {
        SetTextColor(dc, before.text_colour);
    }
    if (before.background_colour != kPalette[g_windows.background_colour & 15]) {
        SetBkColor(dc, before.background_colour);
    }
}

// Whether the text window has child windows. The window manager is asked again only after a child
// was created or destroyed (the text window counts WM_PARENTNOTIFY): under Wine GetWindow is a
// round trip to the window server that cost more than drawing the line. The count is read before
// asking, so a child made meanwhile is asked about at the next scroll.
bool text_window_has_children() {
    static std::atomic<LONG> asked_at{-1};
    static std::atomic<bool> answer{false};
    LONG changes = g_windows.child_changes;
    if (asked_at.load() != changes) {
        answer = GetWindow(g_core.text_window, GW_CHILD) != nullptr;
        asked_at = changes;
    }
    return answer;
}

// The rectangle that scrolling moves: the client area as stored, or as the window has it now when
// that is larger (the user may have enlarged the window), within the backing bitmap.
RECT scroll_area() {
    RECT area;
    GetClientRect(g_core.text_window, &area);
    area.right = area.right > g_windows.client_width ? area.right : g_windows.client_width;
    area.bottom = area.bottom > g_windows.client_height ? area.bottom : g_windows.client_height;
    area.right = area.right < g_windows.backing_width ? area.right : g_windows.backing_width;
    area.bottom = area.bottom < g_windows.backing_height ? area.bottom : g_windows.backing_height;
    return area;
}

// Scrolls the window itself up one line, so that its child windows move with the text (the pixels
// come from the backing bitmap anyway: a window without children needs no scroll). Outside the
// lock: moving the children of another thread's window waits for that thread.
void scroll_children_up(const RECT& area) {
    if (!text_window_has_children()) {
        return;
    }
    wait_if_paused();
    // Asking for the uncovered rectangle keeps the window valid: Wine invalidates the whole window
    // when ScrollWindowEx is given neither region nor rectangle.
    RECT uncovered;
    ScrollWindowEx(g_core.text_window, 0, -g_windows.line_height, &area, nullptr, nullptr, &uncovered,
                   SW_SCROLLCHILDREN);
}

// Scrolls the backing bitmap up one line in itself and blanks the cursor's line from the cursor
// on. The backing bitmap is the one whole copy of the text: the window holds none of it while
// minimised and only part of it while shrunk or off the screen. Under the lock.
void scroll_backing_up(const RECT& area, int32_t columns) {
    HDC memory_dc = g_windows.memory_dc;
    int line_height = g_windows.line_height;
    if (area.bottom > line_height) {
        BitBlt(memory_dc, 0, 0, area.right, area.bottom - line_height, memory_dc, 0, line_height, SRCCOPY);
    }
    --g_windows.cursor_row;
    // The cells of columns + 1 spaces at the cursor, filled with the background colour as drawing
    // the spaces would, at a third of the cost.
    int x = g_windows.cursor_column * g_windows.char_width;
    int y = g_windows.cursor_row * line_height;
    RECT blanks = {x, y, x + (columns + 1) * g_windows.char_width, y + line_height};
    ExtTextOutA(memory_dc, 0, 0, ETO_OPAQUE, &blanks, nullptr, 0, nullptr);
}

// Prints count bytes of text at the cursor as one line: the space of end mode 0, the scroll at the
// bottom, the text on both DCs, the cursor.
void print_piece(const char* text, int32_t count, int32_t end_mode, bool wrapped, int32_t columns) {
    RtString piece(text, 0, count);
    if (end_mode == kPrintSpace) {
        piece.append_char(' ');
    }
    int32_t rows = g_windows.line_height > 0 ? g_windows.client_height / g_windows.line_height : 0;
    bool scroll = g_windows.cursor_row >= rows - 1;
    RECT area = {};
    if (scroll) {
        area = scroll_area();
        scroll_children_up(area);
    }
    enter_drawing();
    HDC window_dc = g_windows.window_dc;
    HDC memory_dc = g_windows.memory_dc;
    DcAttributes window_before = prepare_dc(window_dc);
    DcAttributes memory_before = prepare_dc(memory_dc);
    if (scroll) {
        scroll_backing_up(area, columns);
    }
    int x = g_windows.cursor_column * g_windows.char_width;
    int y = g_windows.cursor_row * g_windows.line_height;
    TextOutA(memory_dc, x, y, piece.data, piece.length);
    // After a scroll the whole area is painted from the backing bitmap, the new line with it;
    // otherwise the line is drawn on the window as on the bitmap.
    if (scroll) {
        BitBlt(window_dc, 0, 0, area.right, area.bottom, memory_dc, 0, 0, SRCCOPY);
    } else {
        TextOutA(window_dc, x, y, piece.data, piece.length);
    }
    restore_dc(window_dc, window_before);
    restore_dc(memory_dc, memory_before);
    leave_drawing();
    if (end_mode == kPrintNewLine || wrapped) {
        g_windows.cursor_column = 0;
        ++g_windows.cursor_row;
    } else {
        g_windows.cursor_column += piece.length;
    }
}

// The text right-aligned in a field of strwidth characters, when the pad flag asks for it.
RtString padded(const RtString& text, bool pad) {
    int32_t width = g_switches.strwidth;
    if (pad && width != 0 && text.length < width) {
        return string_insert(string_spaces(width - text.length), text, 1);
    }
    return text;
}

}  // namespace

// Wrapping cuts one copy of the text into lines in a loop, so time and memory stay linear in the
// text. A window without room for one character takes the text unwrapped. What is left after a
// wrap is padded again, as a print of its own would be, but only when the field fits a line: a
// wider field would wrap and be padded for ever.
void print_text(const RtString& original, int32_t end_mode, bool wrap, bool pad) {
    if (g_core.text_window == nullptr) {
        clear_window();
    }
    RtString text = string_replace(original, RtString("\n"), RtString());
    text = string_replace(text, RtString("\r"), RtString());
    text = padded(text, pad);
    int32_t columns = g_windows.char_width > 0 ? g_windows.client_width / g_windows.char_width : 0;
    bool repad = pad && g_switches.strwidth <= columns;
    const char* rest = text.data;
    int32_t left = text.length;
    RtString padded_rest;
    for (;;) {
        int32_t room = columns - g_windows.cursor_column;
        // Compared without sign: a cursor beyond the right edge gives a huge room and never wraps.
        bool wrapped = wrap && columns > 0 && static_cast<uint32_t>(room) < static_cast<uint32_t>(left);
        int32_t count = wrapped ? room : left;
        print_piece(rest, count, end_mode, wrapped, columns);
        if (!wrapped) {
            return;
        }
        rest += count;
        left -= count;
        if (repad && left < g_switches.strwidth) {
            padded_rest = padded(RtString(rest, 0, left), true);
            rest = padded_rest.data;
            left = padded_rest.length;
        }
    }
}

void clear_window(HBRUSH brush) {
    if (g_core.text_window == nullptr) {
        place_window(0, 0, 640, 480);
    }
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    enter_drawing();
    FillRect(g_windows.drawing_dc, &screen, brush);
    if (g_windows.drawing_dc == g_windows.window_dc) {
        FillRect(g_windows.memory_dc, &screen, brush);
    }
    leave_drawing();
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
