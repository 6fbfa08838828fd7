#include "runtime/windows/window_state.h"

#include <commctrl.h>

#include "runtime/core/core_state.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/system/hidden_list.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/edit_streams.h"
#include "runtime/windows/resource_ids.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_procs.h"
#include "runtime/windows/window_requests.h"

RtWindowState g_windows;

const COLORREF kPalette[16] = {0x000000, 0x880000, 0x008800, 0x880088, 0x000088, 0x888800, 0x008888, 0xCCCCCC,
                               0x444444, 0xFF0000, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFFFFFF};

namespace {

// tmAveCharWidth and tmHeight of the text font, measured on a memory DC.
void measure_font() {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, g_windows.font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    g_windows.char_width = metrics.tmAveCharWidth;
    g_windows.line_height = metrics.tmHeight;
}

void register_class(const char* name, UINT style, WNDPROC procedure, HBRUSH background, HCURSOR cursor) {
    WNDCLASSA wc = {};
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = kWindowExtraBytes;
    wc.hInstance = g_core.instance;
    wc.hIcon = LoadIconA(g_core.instance, RES_NAME(RES_ICON_MARLO));
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (RegisterClassA(&wc) == 0) {
        fail_start_up();
    }
}

void close_event(HANDLE& event) {
    if (event != nullptr) {
        CloseHandle(event);
        event = nullptr;
    }
}

}  // namespace

void enter_drawing() {
    for (;;) {
        wait_if_paused();
        EnterCriticalSection(&g_windows.lock);
        // The pause may have begun meanwhile: the main thread takes the lock once after asking.
        if (!worker_must_pause()) {
            return;
        }
        LeaveCriticalSection(&g_windows.lock);
    }
}

void leave_drawing() {
    LeaveCriticalSection(&g_windows.lock);
}

void apply_control_font(HWND control) {
    int32_t selector = g_windows.control_font_selector;
    if (selector == 0 || control == nullptr) {
        return;
    }
    HFONT font = selector == 1 ? g_windows.runtime_font : reinterpret_cast<HFONT>(static_cast<intptr_t>(selector));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void init_windows() {
    g_windows.style = 0x14CF2000;
    g_windows.ex_style = 0x100;
    g_windows.title.assign_cstring("Brisko-Fenster");
    g_core.text_window = nullptr;
    g_core.current_dialog = nullptr;
    g_windows.window_dc = nullptr;
    g_windows.memory_dc = nullptr;
    g_windows.drawing_dc = nullptr;
    g_windows.second_dc = nullptr;
    store_current_event(0, nullptr, 0, 0);
    g_windows.control_font_selector = 0;
    g_windows.runtime_font = nullptr;
    g_switches.autopaint = 2;
    g_windows.no_menu = 0;
    for (HANDLE& event : g_windows.input_events) {
        event = made_at_start_up(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    }
    g_core.message_event = made_at_start_up(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    g_windows.manual_event = made_at_start_up(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    g_switches.messagemode = 1;
    g_switches.pdc = 0;
    g_switches.printres = 10;
    g_switches.ogldepth = 100;
    g_windows.font = static_cast<HFONT>(made_at_start_up(GetStockObject(ANSI_FIXED_FONT)));
    measure_font();
    g_windows.text_colour = 0;
    g_windows.background_colour = 15;
    g_windows.cursor_column = 0;
    g_windows.cursor_row = 0;
    register_class("FENSTER", 0x2023, text_window_proc, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)),
                   LoadCursorA(nullptr, IDC_ARROW));
    register_class("DIALOG", CS_CLASSDC, dialog_window_proc, GetSysColorBrush(COLOR_BTNFACE), nullptr);

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = 8;
    controls.dwICC = 0x11C;  // bar, tab, up-down and date classes
    InitCommonControlsEx(&controls);
    install_edit_streams();
    install_drawing_dc_reset(reset_drawing_dc);
    g_switches.listdel.assign_cstring("|");
    last_index = -1;
    g_windows.has_manifest = FindResourceA(g_core.instance, MAKEINTRESOURCEA(RES_MANIFEST_ID),
                                           MAKEINTRESOURCEA(RES_MANIFEST_TYPE)) != nullptr;
    InitializeCriticalSection(&g_windows.lock);
    register_window_requests();
    register_dialog_requests();
}

void exit_windows_without_heap() {
    for (HANDLE& event : g_windows.input_events) {
        close_event(event);
    }
    close_event(g_windows.manual_event);
    if (g_windows.runtime_font != nullptr) {
        DeleteObject(g_windows.runtime_font);
        g_windows.runtime_font = nullptr;
    }
}

void exit_windows() {
    exit_windows_without_heap();
    clear_list();
    UnregisterClassA("FENSTER", g_core.instance);
    UnregisterClassA("DIALOG", g_core.instance);
    DeleteCriticalSection(&g_windows.lock);
    g_windows.input_queue_count = 0;
}
