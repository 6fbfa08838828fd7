// Request kinds that create or change windows, controls, menus, toolbars, tooltips and the
// accelerator table, carried out on the main thread for the request channel.
#include "runtime/windows/window_requests.h"

#include <commctrl.h>

#include <atomic>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/windows/resource_ids.h"
#include "runtime/windows/window_state.h"

namespace {

std::atomic<int32_t> g_control_id{1000};

template <typename Record>
Record* record_of(LPARAM lparam) {
    return reinterpret_cast<Record*>(lparam);
}

int32_t next_control_id() {
    return g_control_id.fetch_add(1);
}

void create_text_window(LPARAM lparam) {
    auto* r = record_of<TextWindowRecord>(lparam);
    HMENU menu = g_windows.no_menu != 0 ? nullptr : LoadMenuA(g_core.instance, RES_NAME(RES_MENU_NAME));
    HWND window = CreateWindowExA(g_windows.ex_style, "FENSTER", g_windows.title.c_str(), g_windows.style, r->x, r->y,
                                  r->width, r->height, nullptr, menu, g_core.instance, nullptr);
    if (window == nullptr) {
        terminate_program(1);  // as ExitProcess(1), with what the file channels buffer written first
    }
    g_core.text_window = window;
    show_and_update(window);
    delete r;
}

void create_control(LPARAM lparam) {
    auto* r = record_of<ControlRecord>(lparam);
    HMENU id;
    HINSTANCE instance;
    if (r->own_id != 0) {
        id = reinterpret_cast<HMENU>(static_cast<uintptr_t>(r->menu_or_id));
        instance = r->instance;
    } else {
        id = reinterpret_cast<HMENU>(static_cast<intptr_t>(next_control_id()));
        instance = g_core.instance;
    }
    r->result = CreateWindowExA(r->ex_style, r->class_name, r->text, r->style, r->x, r->y, r->width, r->height,
                                r->parent, id, instance, nullptr);
    apply_control_font(r->result);
}

void track_popup_menu(LPARAM lparam) {
    auto* position = record_of<int32_t>(lparam);
    POINT point = {position[0], position[1]};
    ClientToScreen(g_core.text_window, &point);
    TrackPopupMenu(g_windows.popup_menu, TPM_RIGHTBUTTON, point.x, point.y, 0, g_core.text_window, nullptr);
}

void destroy_window(LPARAM lparam) {
    auto* r = record_of<WindowResultRecord>(lparam);
    r->result = DestroyWindow(r->window);
}

void create_tab_control(LPARAM lparam) {
    auto* r = record_of<ControlRecord>(lparam);
    HMENU id = reinterpret_cast<HMENU>(static_cast<intptr_t>(next_control_id()));
    r->result = CreateWindowExA(r->ex_style, r->class_name, "", r->style, r->x, r->y, r->width, r->height, r->parent,
                                id, g_core.instance, nullptr);
    if (r->result != nullptr) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(r->text);
        SendMessageA(r->result, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    apply_control_font(r->result);
}

void create_dialog_window(LPARAM lparam) {
    auto* r = record_of<DialogWindowRecord>(lparam);
    r->result = CreateWindowExA(g_windows.ex_style, "DIALOG", r->title, g_windows.style, r->x, r->y, r->width,
                                r->height, r->parent, nullptr, g_core.instance, nullptr);
    show_and_update(r->result);
}

void create_up_down(LPARAM lparam) {
    auto* r = record_of<UpDownRecord>(lparam);
    CreateUpDownControl(0x54000126, r->x, r->y, r->width, r->height, r->parent, next_control_id(), g_core.instance,
                        r->buddy, r->upper, r->lower, r->position);
}

void create_status_bar(LPARAM lparam) {
    auto* r = record_of<StatusBarRecord>(lparam);
    r->result = CreateStatusWindowA(0x50000020, r->text, r->parent, static_cast<UINT>(next_control_id()));
}

void add_tooltip(LPARAM lparam) {
    auto* r = record_of<TooltipRecord>(lparam);
    if (g_core.tooltip_window == nullptr) {
        g_core.tooltip_window =
            CreateWindowExA(0x80080, "tooltips_class32", nullptr, 0x94800000, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, r->tool_window, nullptr, g_core.instance, nullptr);
    }
    r->result = g_core.tooltip_window;
    SendMessageA(g_core.tooltip_window, TTM_SETMAXTIPWIDTH, 0, 300);
    TOOLINFOA tool = {};
    tool.cbSize = 44;  // the size without the reserved field of later versions
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = r->tool_window;
    tool.uId = r->tool_id;
    tool.lpszText = const_cast<char*>(r->text);
    SendMessageA(g_core.tooltip_window, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void create_toolbar(LPARAM lparam) {
    auto* r = record_of<ToolbarRecord>(lparam);
    int count = r->count < 0 ? 0 : (r->count > 99 ? 99 : r->count);
    std::vector<TBBUTTON> buttons(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = -r->command_base - i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = 4;
        buttons[i].iString = 0;
    }
    HINSTANCE bitmap_instance = nullptr;
    UINT_PTR bitmap_id = reinterpret_cast<UINT_PTR>(r->bitmap);
    if (r->bitmap == nullptr) {
        bitmap_instance = HINST_COMMCTRL;
        switch (r->size) {
            case 1:
                bitmap_id = IDB_STD_SMALL_COLOR;
                break;
            case 2:
                bitmap_id = IDB_STD_LARGE_COLOR;
                break;
            case 3:
                bitmap_id = IDB_VIEW_SMALL_COLOR;
                break;
            default:
                bitmap_id = IDB_VIEW_LARGE_COLOR;
                break;
        }
    }
    r->result = CreateToolbarEx(r->parent, r->style, static_cast<UINT>(next_control_id()), 99, bitmap_instance,
                                bitmap_id, buttons.data(), count, r->size, r->size, r->size, r->size, 20);
    apply_control_font(r->result);
}

// The new table replaces the old one only once it exists: a table that cannot be made (or an old one
// that cannot be read) leaves the accelerators as they were, without the new one.
void add_accelerator(LPARAM lparam) {
    auto* r = record_of<AcceleratorRecord>(lparam);
    int count = g_core.accelerator_count;
    std::vector<ACCEL> table(static_cast<size_t>(count) + 1);
    if (count != 0 && CopyAcceleratorTableA(g_core.accelerators, table.data(), count) != count) {
        return;
    }
    ACCEL& entry = table[static_cast<size_t>(count)];
    entry.fVirt = FVIRTKEY;
    if (r->modifiers & 1) {
        entry.fVirt |= FSHIFT;
    }
    if (r->modifiers & 2) {
        entry.fVirt |= FCONTROL;
    }
    if (r->modifiers & 4) {
        entry.fVirt |= FALT;
    }
    entry.key = static_cast<WORD>(r->key);
    entry.cmd = static_cast<WORD>(r->command);
    HACCEL accelerators = CreateAcceleratorTableA(table.data(), count + 1);
    if (accelerators == nullptr) {
        return;
    }
    if (count != 0) {
        DestroyAcceleratorTable(g_core.accelerators);
    }
    g_core.accelerators = accelerators;
    g_core.accelerator_count = count + 1;
}

}  // namespace

void show_and_update(HWND window) {
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
}

void register_window_requests() {
    static const RequestReg kRows[] = {
        {kReqCreateTextWindow, create_text_window, kTravelEither, true},
        {kReqCreateControl, create_control, kTravelEither, true},
        {kReqPopupMenu, track_popup_menu, kTravelPosted, true},
        {kReqDestroyWindow, destroy_window, kTravelEither, true},
        {kReqTabControl, create_tab_control, kTravelEither, true},
        {kReqDialogWindow, create_dialog_window, kTravelEither, true},
        {kReqUpDown, create_up_down, kTravelEither, true},
        {kReqStatusBar, create_status_bar, kTravelEither, true},
        {kReqTooltip, add_tooltip, kTravelEither, true},
        {kReqToolbar, create_toolbar, kTravelEither, true},
        {kReqAddAccelerator, add_accelerator, kTravelPosted, true},
        {0, nullptr, kTravelPosted, false},
    };
    register_requests(kRows);
}
