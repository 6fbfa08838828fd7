#include "runtime/windows/window_state.h"

#include <commctrl.h>

#include "runtime/core/core_state.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/windows/edit_streams.h"

RtWindowState g_windows;

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
    store_current_event(0, nullptr, 0, 0);
    g_windows.control_font_selector = 0;
    g_windows.runtime_font = nullptr;
    g_switches.autopaint = 2;
    g_windows.no_menu = 0;
    for (HANDLE& event : g_windows.input_events) {
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    g_core.message_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_windows.manual_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_switches.messagemode = 1;
    g_switches.pdc = 0;
    g_switches.printres = 10;
    g_switches.ogldepth = 100;

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = 8;
    controls.dwICC = 0x11C;  // bar, tab, up-down and date classes
    InitCommonControlsEx(&controls);
    install_edit_streams();
    g_switches.listdel.assign_cstring("|");
}

void exit_windows() {
    for (HANDLE& event : g_windows.input_events) {
        if (event != nullptr) {
            CloseHandle(event);
            event = nullptr;
        }
    }
    if (g_windows.manual_event != nullptr) {
        CloseHandle(g_windows.manual_event);
        g_windows.manual_event = nullptr;
    }
    if (g_windows.runtime_font != nullptr) {
        DeleteObject(g_windows.runtime_font);
        g_windows.runtime_font = nullptr;
    }
}
