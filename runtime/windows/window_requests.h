// The request kinds that create or change windows, controls, menus, toolbars, tooltips and the
// accelerator table. The request channel's dispatcher calls these on the main thread; each returns
// false for a kind it does not own.
#pragma once

#include <windows.h>

#include <cstdint>

// Kinds carried out whether posted or sent: 0xA001, 0xA002, 0xA007, 0xA009, 0xA00C, 0xA019-0xA01C.
bool carry_out_window_request(uint32_t kind, LPARAM lparam);
// Kinds carried out only when posted: 0xA006, 0xA013, 0xA01D.
bool carry_out_posted_window_request(uint32_t kind, LPARAM lparam);

// Shows a new window and paints it at once (nothing for no window).
void show_and_update(HWND window);
