// Window subsystem state: the text window's appearance, DCs, backing bitmap, cursor and colours,
// the input-event fields the window procedures write, the control font selector, and the
// subsystem's start-up and clean-up. Owned by the main thread; the worker prints through it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

constexpr int kWindowExtraBytes = 30;

// The 16 text colours (COLORREF, 0x00BBGGRR) that the colour indices select.
extern const COLORREF kPalette[16];

struct RtWindowState {
    DWORD style = 0x14CF2000;  // text window and "DIALOG" windows
    DWORD ex_style = 0x100;    // WS_EX_WINDOWEDGE
    RtString title;
    int32_t no_menu = 0;                // non-zero: the text window has no "LEER" menu
    int32_t control_font_selector = 0;  // 0 leave the font, 1 the runtime font, else a font handle
    HFONT runtime_font = nullptr;
    HMENU popup_menu = nullptr;   // tracked by request 0xA006; empty until something builds it
    HMENU menu = nullptr;         // the text window's menu, remembered at its creation
    HANDLE input_events[4] = {};  // auto-reset, pulsed on user input
    HANDLE manual_event = nullptr;
    bool has_manifest = false;  // the program carries resource 1 of type 24

    // Text output: both DCs get every drawing; clearing fills the drawing DC.
    HDC window_dc = nullptr;
    HDC memory_dc = nullptr;
    HBITMAP backing_bitmap = nullptr;
    int32_t backing_width = 0;  // the screen's size when the window was made
    int32_t backing_height = 0;
    HBITMAP first_bitmap = nullptr;  // the memory DC's own bitmap, selected back before deleting
    HDC drawing_dc = nullptr;
    HDC second_dc = nullptr;  // cleared when pdc returns to 0
    int32_t client_width = 0;
    int32_t client_height = 0;
    HFONT font = nullptr;
    int32_t char_width = 0;
    int32_t line_height = 0;
    int32_t cursor_column = 0;
    int32_t cursor_row = 0;
    int32_t text_colour = 0;  // palette indices
    int32_t background_colour = 15;
    volatile LONG child_changes = 0;  // children of the text window created or destroyed so far

    // Behaviour flags of the text window and of "DIALOG" windows.
    int32_t confirm_close = 0;
    RtString confirm_question;
    RtString confirm_caption;
    int32_t dialog_confirm_close = 0;
    RtString dialog_confirm_question;
    RtString dialog_confirm_caption;
    int32_t event_mode = 0;
    int32_t event_mode_copy = 0;  // taken when the text window is created
    HWND focused = nullptr;       // the window that last had the focus inside the text window

    // Input-event fields: written with interlocked exchanges, read by the program body.
    volatile LONG event_code = 0;
    volatile LONG mouse_x = 0;
    volatile LONG mouse_y = 0;
    volatile LONG click = 0;         // 1 left, 2 right (3 middle, on a child window)
    volatile LONG button_state = 0;  // 1 left down, 2 right down, 0 released
    volatile LONG key = 0;
    volatile LONG key_down = 0;
    volatile LONG timer = 0;
    volatile LONG control = 0;
    volatile LONG repaint = 0;  // set when a window was to be painted while autopaint was 0

    // The window subsystem's lock: guards the input queue and every drawing on the text window's
    // DCs, whichever thread draws (GDI refuses a DC while another thread is using it).
    CRITICAL_SECTION lock;
    int32_t input_queue_count = 0;  // entries of the input queue (at most six)
};

extern RtWindowState g_windows;

// One drawing step on the text window's DCs: takes the lock; on the worker it first waits out a
// move or size loop of the main thread. Nothing between the two may wait for the main thread.
void enter_drawing();
void leave_drawing();

// Sends the control font that the selector names to a new control.
void apply_control_font(HWND control);

void init_windows();
void exit_windows();
// The part of exit_windows that needs no heap: for the end after the worker was terminated, when
// the dead worker may still hold the C runtime's heap lock.
void exit_windows_without_heap();
