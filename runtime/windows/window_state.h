// Window subsystem state: the text window's default appearance, the control font selector, the
// input and message events, and the subsystem's start-up and clean-up. Owned by the main thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

struct RtWindowState {
    DWORD style = 0x14CF2000;     // text window and "DIALOG" windows
    DWORD ex_style = 0x100;       // WS_EX_WINDOWEDGE
    RtString title;
    int32_t no_menu = 0;          // non-zero: the text window has no "LEER" menu
    int32_t control_font_selector = 0;  // 0 leave the font, 1 the runtime font, else a font handle
    HFONT runtime_font = nullptr;
    HMENU popup_menu = nullptr;   // tracked by request 0xA006; empty until something builds it
    HANDLE input_events[4] = {};  // auto-reset, pulsed on user input
    HANDLE manual_event = nullptr;
};

extern RtWindowState g_windows;

// Sends the control font that the selector names to a new control.
void apply_control_font(HWND control);

void init_windows();
void exit_windows();
