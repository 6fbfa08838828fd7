/// \file
/// The request kinds that create or change windows, controls, menus, toolbars, tooltips and the
/// accelerator table (requests.h), and their records: 32-bit fields in this order, allocated and
/// freed by the issuer (the text window's by the main thread). The window subsystem registers the
/// kinds at start-up; the request channel carries them out on the main thread.
#pragma once

#include <windows.h>

#include <cstdint>

/// Kinds 0xA002 and 0xA009: a control (0xA009: a tab control whose text is the first tab's caption).
struct ControlRecord {
    /// Non-zero: the control takes menu_or_id and instance; 0: the next id from 1000 on.
    uint32_t own_id;
    /// Window style.
    DWORD style;
    /// Extended window style.
    DWORD ex_style;
    /// The control's window class.
    const char* class_name;
    /// The window text (0xA009: the first tab's caption).
    const char* text;
    /// Position and size in the parent's client area, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// The parent window.
    HWND parent;
    /// The child id, with own_id.
    uint32_t menu_or_id;
    /// The module, with own_id.
    HINSTANCE instance;
    /// Out: the control, null when it could not be made.
    HWND result;
};

/// Kind 0xA001: the text window's place; the main thread frees the record.
struct TextWindowRecord {
    /// Position and size on the screen, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
};

/// Kind 0xA007: destroys a window.
struct WindowResultRecord {
    /// The window to destroy.
    HWND window;
    /// Out: DestroyWindow's result.
    BOOL result;
};

/// Kind 0xA00C: a window of class "DIALOG".
struct DialogWindowRecord {
    /// The window's title.
    const char* title;
    /// The owner window.
    HWND parent;
    /// Position and size on the screen, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// Out: the window.
    HWND result;
};

/// Kind 0xA019: an up-down control.
struct UpDownRecord {
    /// Position and size in the parent's client area, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// The parent window.
    HWND parent;
    /// The buddy window, or null.
    HWND buddy;
    /// The range (upper and lower limit) and the start position.
    ///@{
    int32_t upper, lower, position;
    ///@}
};

/// Kind 0xA01A: a status bar.
struct StatusBarRecord {
    /// The parent window.
    HWND parent;
    /// The first text.
    const char* text;
    /// Out: the status bar.
    HWND result;
};

/// Kind 0xA01B: a tooltip for a window (the one tooltip window is made by the first request).
struct TooltipRecord {
    /// The window the tip belongs to.
    HWND tool_window;
    /// The tool's id.
    uint32_t tool_id;
    /// The tip's text.
    const char* text;
    /// Out: the tooltip window.
    HWND result;
};

/// Kind 0xA01C: a toolbar.
struct ToolbarRecord {
    /// The parent window.
    HWND parent;
    /// Window style.
    DWORD style;
    /// The buttons' images, or null for the system's (by size).
    HBITMAP bitmap;
    /// The number of buttons, at most 99.
    int32_t count;
    /// The image size, which also picks the system bitmap: 1 small standard, 2 large standard,
    /// 3 small view, any other large view.
    int32_t size;
    /// Button i sends the command -command_base - i.
    int32_t command_base;
    /// Out: the toolbar.
    HWND result;
};

/// Kind 0xA01D: adds an accelerator of the text window.
struct AcceleratorRecord {
    /// The command it sends.
    uint32_t command;
    /// The virtual key.
    uint32_t key;
    /// Bit 1 Shift, bit 2 Ctrl, bit 4 Alt.
    uint32_t modifiers;
};

/// Start-up of the window subsystem: registers the kinds of this file with the request channel.
void register_window_requests();

/// Main thread: shows the new \p window and paints it at once (nothing for a null window).
void show_and_update(HWND window);
