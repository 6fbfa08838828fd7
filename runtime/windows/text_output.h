// Text output into the text window: printing line by line with a cursor in character cells,
// clearing, placing and positioning windows. Both the window DC and the backing bitmap's memory
// DC get every drawing. Called on the worker thread (the window itself is made by request 0xA001).
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

enum PrintEnd : int32_t {
    kPrintSpace = 0,    // follow the text with one space and stay on the line
    kPrintStay = 1,     // stay on the line
    kPrintNewLine = 2,  // go to the next line
};

void print_text(const RtString& text, int32_t end_mode, bool wrap, bool pad);
// Fills the drawing DC with brush (and the backing bitmap when drawing goes to the window), puts
// the cursor at 0, 0 and repaints; makes the text window at 0, 0, 640 by 480 when there is none.
void clear_window(HBRUSH brush);
void clear_window();
// Moves and sizes the text window, creating it when it does not exist; warning 223 for a negative
// x or y (a second time from the positioning when the window exists).
void place_window(int32_t x, int32_t y, int32_t width, int32_t height);

// Z-order modes of position_window: 0 keeps the order, 1 bottom, -1 topmost, -2 not topmost, any
// other value the top.
void position_window(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t z_order);

// Drawing goes to dc instead of the text window until pdc is set to 0.
void set_drawing_dc(HDC dc);
// Drawing returns to the text window's DC (what pdc 0 does).
void reset_drawing_dc();
