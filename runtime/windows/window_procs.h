// The window procedures of the runtime's own window classes ("FENSTER", the text window, and
// "DIALOG") and the framework they share with the template dialog procedure: the current-event
// fields, the worker's pause while a window is moved or sized, scroll bar handling and the
// recording of input events. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

LRESULT CALLBACK text_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK dialog_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Framework. Wakes the input events named by mask (bits of InputEventBit): set, so that a body
// that waits later still sees them.
void wake_input_events(uint8_t mask);
// Stores code in the event code field and key in the key field, then sets the events of mask.
void record_event(LONG code, LONG key, uint8_t mask);
// The move and size loop, for the window procedures to call with every message: the worker
// pauses from WM_ENTERSIZEMOVE until the loop ends in any way (WM_EXITSIZEMOVE, the capture
// lost, the window destroyed). At WM_EXITSIZEMOVE a changed width or height sets event code 4
// and the second and first input events.
void track_size_move(HWND window, UINT message, LPARAM lparam);
// WM_HSCROLL and WM_VSCROLL of a scroll bar control. default_proc (may be null) gets
// SB_ENDSCROLL and the messages of a window's own scroll bars.
LRESULT handle_scroll(HWND window, UINT message, WPARAM wparam, LPARAM lparam, WNDPROC default_proc);
// Records the messages of the input-event table (input_map.h); false for any other message.
bool record_mapped_input(UINT message, WPARAM wparam, LPARAM lparam);
