/// \file
/// Text output into the text window: printing line by line with a cursor in character cells,
/// clearing, placing and positioning windows. Both the window DC and the backing bitmap's memory
/// DC get every drawing. Called on the worker thread (the window itself is made by request 0xA001).
///
/// The text window is made by the first print_text(), clear_window() or place_window(), with the
/// title, styles and menu of g_windows (window_state.h) as they are then; it shows the fixed
/// ANSI font, 8 by 12 pixels a cell on a stock system, in the colours g_windows.text_colour and
/// background_colour (palette indices 0 to 15) at the time of each print. Closing it ends the
/// program at once (\ref threads). The backing bitmap keeps the whole text, so the window repaints
/// itself also after being covered, minimised or moved off the screen.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

/// Where print_text() leaves the cursor: kPrintSpace (0) after one more space, on the same line;
/// kPrintStay (1) right after the text; kPrintNewLine (2) at the start of the next line.
enum PrintEnd : int32_t {
    kPrintSpace = 0,    // follow the text with one space and stay on the line
    kPrintStay = 1,     // stay on the line
    kPrintNewLine = 2,  // go to the next line
};

/// Prints \p text at the text cursor and moves the cursor by \p end_mode (a PrintEnd). CR and LF
/// bytes are left out, so a text prints on one line. With \p pad set and the `strwidth` switch
/// larger than the text's length, blanks in front right-align it in a field of that width. With
/// \p wrap set, a text longer than the room left on the line is cut there and the rest printed on
/// the next line (and so on); without it, the part beyond the right edge is not seen. When the
/// cursor is on the last full line, the window scrolls up by one line first. Makes the text window
/// (0, 0, 640 by 480) when there is none. A text of any length; the time is linear in it.
/// Child windows of the text window (controls a program placed on it) are scrolled with the text;
/// the window learns of them from WM_PARENTNOTIFY, so a child made with WS_EX_NOPARENTNOTIFY or
/// moved in with SetParent stays where it is when the text scrolls.
void print_text(const RtString& text, int32_t end_mode, bool wrap, bool pad);
/// Fills the drawing DC with \p brush (and the backing bitmap when drawing goes to the window),
/// puts the cursor at 0, 0 and repaints; makes the text window at 0, 0, 640 by 480 when there is
/// none.
void clear_window(HBRUSH brush);
/// clear_window() with the stock white brush.
void clear_window();
/// Moves the text window to \p x, \p y (screen pixels) and sizes it to \p width by \p height
/// (the frame included), making it when it does not exist; the text area is then the new client
/// size. A negative \p x or \p y is warning 223 "Negative Fenstergr&ouml;&szlig;e!" (a second time
/// when the window exists), and the window is placed anyway.
void place_window(int32_t x, int32_t y, int32_t width, int32_t height);

/// Moves and sizes \p window (SetWindowPos on the main thread) with the z-order mode \p z_order:
/// 0 keeps the order, 1 bottom, -1 topmost, -2 not topmost, any other value the top. A negative
/// \p x or \p y is warning 223, and the window is placed anyway.
void position_window(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t z_order);

/// Drawing (clear_window()) goes to \p dc instead of the text window until `pdc` is set to 0.
void set_drawing_dc(HDC dc);
/// Drawing returns to the text window's DC (what `pdc` 0 does).
void reset_drawing_dc();
