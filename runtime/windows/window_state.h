/// \file
/// Window subsystem state: the text window's appearance, DCs, backing bitmap, cursor and colours,
/// the input-event fields the window procedures write, the control font selector, and the
/// subsystem's start-up and clean-up. Owned by the main thread; the worker prints through it.
///
/// A program body may set: title, style, ex_style and no_menu before the text window is made;
/// text_colour, background_colour, cursor_column and cursor_row before a print; the close
/// confirmations, event_mode and control_font_selector at any time. It reads the input-event
/// fields. The rest belongs to the runtime.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

/// Extra bytes of the windows of the classes "FENSTER" and "DIALOG".
constexpr int kWindowExtraBytes = 30;

/// The 16 text colours (COLORREF, 0x00BBGGRR) that the colour indices select: 0 black, 1 dark
/// blue, 2 dark green, 3 purple, 4 dark red, 5 teal, 6 olive, 7 light grey, 8 dark grey, 9 blue,
/// 10 green, 11 magenta, 12 red, 13 cyan, 14 yellow, 15 white.
extern const COLORREF kPalette[16];

/// The window subsystem's state (see the file's description for what a program may set).
struct RtWindowState {
    /// Style and extended style (WS_EX_WINDOWEDGE) of the text window and of "DIALOG" windows,
    /// read when one is made.
    ///@{
    DWORD style = 0x14CF2000;  // text window and "DIALOG" windows
    DWORD ex_style = 0x100;    // WS_EX_WINDOWEDGE
    ///@}
    /// The text window's title, read when it is made; "Brisko-Fenster" at start.
    RtString title;
    /// no_menu non-zero: the text window has no "LEER" menu. control_font_selector, the font that
    /// new controls get: 0 leave theirs, 1 runtime_font, any other value a font handle.
    ///@{
    int32_t no_menu = 0;                // non-zero: the text window has no "LEER" menu
    int32_t control_font_selector = 0;  // 0 leave the font, 1 the runtime font, else a font handle
    ///@}
    /// The font of control_font_selector 1; deleted at clean-up.
    HFONT runtime_font = nullptr;
    /// popup_menu, the menu request 0xA006 tracks (empty until something builds it); menu, the text
    /// window's menu; input_events, four auto-reset events set on user input (any input, window
    /// and command events, keys, mouse).
    ///@{
    HMENU popup_menu = nullptr;   // tracked by request 0xA006; empty until something builds it
    HMENU menu = nullptr;         // the text window's menu, remembered at its creation
    HANDLE input_events[4] = {};  // auto-reset, set on user input
    ///@}
    /// A manual-reset event of the subsystem.
    HANDLE manual_event = nullptr;
    /// The program carries a manifest (resource 1 of type 24).
    bool has_manifest = false;  // the program carries resource 1 of type 24

    // Text output: both DCs get every drawing; clearing fills the drawing DC.
    /// The text window's own DC; every drawing goes to it and to memory_dc.
    HDC window_dc = nullptr;
    /// The backing bitmap's DC.
    HDC memory_dc = nullptr;
    /// The backing bitmap: the whole text, the size of the screen.
    HBITMAP backing_bitmap = nullptr;
    /// The backing bitmap's width: the screen's when the window was made.
    int32_t backing_width = 0;  // the screen's size when the window was made
    /// The backing bitmap's height.
    int32_t backing_height = 0;
    /// The memory DC's own bitmap, selected back before deleting.
    HBITMAP first_bitmap = nullptr;  // the memory DC's own bitmap, selected back before deleting
    /// The DC that clearing fills: the window's, or the one of set_drawing_dc().
    HDC drawing_dc = nullptr;
    /// A second DC, cleared when `pdc` returns to 0.
    HDC second_dc = nullptr;  // cleared when pdc returns to 0
    /// The text area in pixels, from the window's making and placing (not from the user's sizing).
    ///@{
    int32_t client_width = 0;
    int32_t client_height = 0;
    ///@}
    /// The text font, the stock ANSI_FIXED_FONT.
    HFONT font = nullptr;
    /// A character cell's width and height in pixels.
    ///@{
    int32_t char_width = 0;
    int32_t line_height = 0;
    ///@}
    /// The text cursor, in character cells from 0, 0 at the top left.
    ///@{
    int32_t cursor_column = 0;
    int32_t cursor_row = 0;
    ///@}
    /// The palette indices (kPalette, taken modulo 16) of the text and of its background, read by
    /// each print; 0 (black) and 15 (white) at start.
    ///@{
    int32_t text_colour = 0;  // palette indices
    int32_t background_colour = 15;
    ///@}
    /// How many children of the text window were created or destroyed so far (counted on
    /// WM_PARENTNOTIFY): printing asks the window manager about children only when it changed.
    volatile LONG child_changes = 0;

    // Behaviour flags of the text window and of "DIALOG" windows.
    /// Non-zero: closing the text window first asks confirm_question in a Yes/No box captioned
    /// confirm_caption, and No keeps it open; the dialog_ fields do the same for "DIALOG" windows.
    ///@{
    int32_t confirm_close = 0;
    RtString confirm_question;
    RtString confirm_caption;
    int32_t dialog_confirm_close = 0;
    RtString dialog_confirm_question;
    RtString dialog_confirm_caption;
    ///@}
    /// Non-zero: closing the text window does not close it but records event 2 (close requested),
    /// and keys wake the input events instead of becoming characters.
    int32_t event_mode = 0;
    /// event_mode_copy, event_mode as it was when the text window was created; focused, the window
    /// that last had the focus inside the text window.
    ///@{
    int32_t event_mode_copy = 0;  // taken when the text window is created
    HWND focused = nullptr;       // the window that last had the focus inside the text window
    ///@}

    // Input-event fields: written with interlocked exchanges, read by the program body.
    /// The event code of the last input (input_map.h: 1 command, 2 close requested, 3 character,
    /// ...).
    volatile LONG event_code = 0;
    /// The last click's position in the client area.
    ///@{
    volatile LONG mouse_x = 0;
    volatile LONG mouse_y = 0;
    ///@}
    /// click, the last click: 1 left, 2 right (3 middle, on a child window); button_state, 1 left
    /// down, 2 right down, 0 released.
    ///@{
    volatile LONG click = 0;         // 1 left, 2 right (3 middle, on a child window)
    volatile LONG button_state = 0;  // 1 left down, 2 right down, 0 released
    ///@}
    /// The last key or character code.
    volatile LONG key = 0;
    /// 1 after a key went down.
    volatile LONG key_down = 0;
    /// 1 after a timer message.
    volatile LONG timer = 0;
    /// The id of the control (or menu command) of the last event.
    volatile LONG control = 0;
    /// Set when a window was to be painted while `autopaint` was 0.
    volatile LONG repaint = 0;  // set when a window was to be painted while autopaint was 0

    /// The window subsystem's lock: guards the input queue and every drawing on the text window's
    /// DCs, whichever thread draws (GDI refuses a DC while another thread is using it).
    CRITICAL_SECTION lock;
    /// Entries of the input queue (at most six).
    int32_t input_queue_count = 0;  // entries of the input queue (at most six)
};

/// The window state of the program; lives for the whole run.
extern RtWindowState g_windows;

/// One drawing step on the text window's DCs: takes the lock; on the worker it first waits out a
/// move or size loop of the main thread. Nothing between the two may wait for the main thread.
void enter_drawing();
/// Ends the drawing step of enter_drawing().
void leave_drawing();

/// Main thread: sends the font that control_font_selector names to the new \p control.
void apply_control_font(HWND control);

/// Start-up step of the window subsystem (classes, font, events, defaults, its request kinds); a
/// part that cannot be made ends the process with code 1. Called by the runtime.
void init_windows();
/// Clean-up step of the window subsystem. Called by the runtime.
void exit_windows();
/// The part of exit_windows() that needs no heap: for the end that closing the text window makes,
/// when a worker that did not stop in time may still hold the C runtime's heap lock.
void exit_windows_without_heap();
