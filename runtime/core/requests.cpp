// The main thread's side of the request channel: the dispatcher of posted requests, the request
// window procedure for sent ones, and the fast loop that the fastmode switch drives.
//
// Threads meet here. The worker fills a heap record of 32-bit fields and either posts message
// 0x8001 to the main thread and waits on the auto-reset request-done event, or sends 0x8001 to the
// hidden request window. In both cases it stays blocked until the main thread is done with the
// record, so the record needs no lock. The dispatcher sets the event exactly once for each kind in
// the signalling set (request_signals); a kind outside it must never be posted with a wait.
#include "runtime/core/requests.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/system/file_list.h"
#include "runtime/windows/dialogs.h"
#include "runtime/windows/window_state.h"

namespace {

std::atomic<int32_t> g_control_id{1000};
std::atomic<int32_t> g_dialog_result{0};
std::atomic<int32_t> g_peeked_message{0};
std::atomic<int32_t> g_unsignalled_posts{0};

constexpr int kFileNameBuffer = 292;

template <typename Record>
Record* record_of(LPARAM lparam) {
    return reinterpret_cast<Record*>(lparam);
}

int32_t next_control_id() {
    return g_control_id.fetch_add(1);
}

void show_and_update(HWND window) {
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
}

void create_text_window(LPARAM lparam) {
    auto* r = record_of<TextWindowRecord>(lparam);
    HMENU menu = g_windows.no_menu != 0 ? nullptr : LoadMenuA(g_core.instance, "LEER");
    HWND window = CreateWindowExA(g_windows.ex_style, "FENSTER", g_windows.title.c_str(), g_windows.style, r->x, r->y,
                                  r->width, r->height, nullptr, menu, g_core.instance, nullptr);
    if (window == nullptr) {
        ExitProcess(1);
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

void peek_message(LPARAM lparam) {
    auto* result = record_of<int32_t>(lparam);
    MSG msg;
    *result = PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (*result != 0) {
        store_current_event(msg.message, msg.hwnd, msg.wParam, msg.lParam);
        g_peeked_message = static_cast<int32_t>(msg.message);
    }
}

void create_template_dialog(LPARAM lparam) {
    auto* r = record_of<TemplateDialogRecord>(lparam);
    r->result = CreateDialogParamA(g_core.instance, "LDIALOG", r->parent, template_dialog_proc, lparam);
    show_and_update(r->result);
}

void create_resource_dialog(LPARAM lparam) {
    auto* r = record_of<ResourceDialogRecord>(lparam);
    r->result = CreateDialogParamA(g_core.instance, r->template_name, r->parent, template_dialog_proc, 0);
    if (r->result == nullptr) {
        // The name may be a number: the template's integer resource id.
        int id = std::atoi(r->template_name);
        r->result = CreateDialogParamA(g_core.instance, MAKEINTRESOURCEA(id), r->parent, template_dialog_proc, 0);
    }
    show_and_update(r->result);
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

void file_dialog(LPARAM lparam) {
    auto* r = record_of<FileDialogRecord>(lparam);
    size_t filter_length = std::strlen(r->filter);
    std::vector<char> filter(2 * filter_length + 32, 0);
    std::vector<char> default_extension;
    if (std::strchr(r->filter, '|') != nullptr) {
        // "name|pattern|name|pattern": the pairs of a standard filter list.
        std::memcpy(filter.data(), r->filter, filter_length);
        for (size_t i = 0; i < filter_length; ++i) {
            if (filter[i] == '|') {
                filter[i] = 0;
            }
        }
        if (r->save != 0) {
            r->file_name[0] = 0;
        }
    } else if (r->save != 0) {
        // The filter becomes "*." plus the extension of the name already in the buffer.
        const char* dot = std::strchr(r->file_name, '.');
        const char* extension = dot != nullptr ? dot + 1 : "";
        size_t n = std::strlen(extension);
        if (filter.size() < n + 3) {
            filter.resize(n + 3, 0);
        }
        std::memcpy(filter.data(), "*.", 2);
        std::memcpy(filter.data() + 2, extension, n);
        default_extension.assign(extension, extension + n + 1);
    }
    char folder[276] = {};
    GetCurrentDirectoryA(sizeof folder, folder);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = 76;  // the original size, without the Windows 2000 fields
    ofn.hwndOwner = g_core.text_window;
    ofn.hInstance = g_core.instance;
    ofn.lpstrFilter = filter.data();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = r->file_name;
    ofn.nMaxFile = kFileNameBuffer;
    ofn.lpstrInitialDir = folder;
    ofn.lpstrTitle = r->title;
    ofn.Flags = 0x80006;  // OFN_EXPLORER, OFN_HIDEREADONLY, OFN_OVERWRITEPROMPT
    ofn.lpstrDefExt = default_extension.empty() ? nullptr : default_extension.data();
    BOOL chosen = r->save != 0 ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen) {
        r->file_name[0] = 0;
    }
}

int CALLBACK folder_dialog_callback(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED) {
        char folder[284] = {};
        GetCurrentDirectoryA(sizeof folder, folder);
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
    }
    return 0;
}

void folder_dialog(LPARAM lparam) {
    auto* r = record_of<FolderDialogRecord>(lparam);
    BROWSEINFOA info = {};
    info.hwndOwner = g_core.text_window;
    info.pszDisplayName = r->path;
    info.lpszTitle = r->title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = folder_dialog_callback;
    LPITEMIDLIST items = SHBrowseForFolderA(&info);
    if (items == nullptr) {
        r->path[0] = 0;
        g_dialog_result = 0;
        return;
    }
    SHGetPathFromIDListA(items, r->path);
    g_dialog_result = 1;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(items);
        allocator->Release();
    }
}

void edit_dialog(LPARAM lparam) {
    auto* r = record_of<VariantRecord>(lparam);
    const char* name = r->variant == 2 ? "EDITBOX2" : "EDITBOX1";
    r->result = static_cast<int32_t>(DialogBoxParamA(g_core.instance, name, g_core.text_window, edit_dialog_proc, lparam));
}

void list_dialog(LPARAM lparam) {
    auto* r = record_of<VariantRecord>(lparam);
    char name[] = "LISTBOX7";
    if (r->variant >= 1 && r->variant <= 8) {
        name[7] = static_cast<char>('0' + r->variant);
    }
    DialogBoxParamA(g_core.instance, name, g_core.text_window, list_dialog_proc, lparam);
}

void input_dialog(LPARAM lparam) {
    DialogBoxParamA(g_core.instance, "INPUT", g_core.text_window, input_dialog_proc, lparam);
}

void input_pending(LPARAM lparam) {
    Sleep(0);
    *record_of<int32_t>(lparam) = GetQueueStatus(QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON) != 0 ? 1 : 0;
}

void fill_list(LPARAM lparam) {
    auto* r = record_of<FillListRecord>(lparam);
    fill_list_control(r->control, r->message);
}

void create_own_dialog(LPARAM lparam) {
    auto* r = record_of<OwnDialogRecord>(lparam);
    HWND dialog = CreateDialogParamA(g_core.instance, "LDIALOG", g_core.text_window, r->procedure, lparam);
    show_and_update(dialog);
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

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!TranslateAcceleratorA(g_core.text_window, g_core.accelerators, &msg)) {
            relay_tooltip_message(&msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
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

void add_accelerator(LPARAM lparam) {
    auto* r = record_of<AcceleratorRecord>(lparam);
    int count = g_core.accelerator_count;
    std::vector<ACCEL> table(static_cast<size_t>(count) + 1);
    if (count != 0) {
        CopyAcceleratorTableA(g_core.accelerators, table.data(), count);
        DestroyAcceleratorTable(g_core.accelerators);
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
    g_core.accelerator_count = count + 1;
    g_core.accelerators = CreateAcceleratorTableA(table.data(), count + 1);
}

bool is_request(const MSG& msg) {
    return msg.message == kRequestMessage && msg.hwnd == nullptr;
}

// Ordinary messages inside the open loop; the events are pulsed as in the main loop.
void dispatch_in_open_loop(MSG* msg) {
    store_current_event(msg->message, msg->hwnd, msg->wParam, msg->lParam);
    bool handled = TranslateAcceleratorA(g_core.text_window, g_core.accelerators, msg) != 0 ||
                   (g_core.current_dialog != nullptr && IsDialogMessageA(g_core.current_dialog, msg));
    if (!handled) {
        relay_tooltip_message(msg);
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    if (g_core.message_event != nullptr) {
        PulseEvent(g_core.message_event);
    }
}

// The open loop: normal dispatching again until 0xA018 or WM_QUIT.
void run_open_loop() {
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) {
            return;
        }
        if (is_request(msg)) {
            if (msg.wParam == kReqCloseOpenLoop) {
                return;
            }
            dispatch_request(msg);
            continue;
        }
        dispatch_in_open_loop(&msg);
    }
}

// The fast loop: only request messages are fetched, so ordinary window messages stay queued
// (sent messages, such as sent requests, are still carried out inside GetMessageA).
void run_fast_loop() {
    MSG msg = {};
    bool quit = false;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, kRequestMessage, kRequestMessage);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got < 0 || msg.wParam == kReqLeaveFastLoop) {
            break;
        }
        if (msg.wParam == kReqOpenLoop) {
            run_open_loop();
            continue;
        }
        dispatch_request(msg);
    }
    if (quit) {
        PostQuitMessage(static_cast<int>(msg.wParam));
    }
}

void after_pause_or_call() {
    if (g_switches.fastmode.load() != 0) {
        post_request_nowait(kReqOpenLoop);
    }
}

// Carries out a kind that both the dispatcher and the request window procedure know.
bool carry_out_common(uint32_t kind, LPARAM lparam) {
    switch (kind) {
        case kReqCreateTextWindow:
            create_text_window(lparam);
            return true;
        case kReqCreateControl:
            create_control(lparam);
            return true;
        case kReqModelessDialog:
            create_template_dialog(lparam);
            return true;
        case kReqResourceDialog:
            create_resource_dialog(lparam);
            return true;
        case kReqDestroyWindow:
            destroy_window(lparam);
            return true;
        case kReqTabControl:
            create_tab_control(lparam);
            return true;
        case kReqDialogWindow:
            create_dialog_window(lparam);
            return true;
        case kReqInputPending:
            input_pending(lparam);
            return true;
        case kReqUpDown:
            create_up_down(lparam);
            return true;
        case kReqStatusBar:
            create_status_bar(lparam);
            return true;
        case kReqTooltip:
            add_tooltip(lparam);
            return true;
        case kReqToolbar:
            create_toolbar(lparam);
            return true;
        default:
            return false;
    }
}

}  // namespace

bool request_signals(uint32_t kind) {
    switch (kind) {
        case kReqExternalCall:
        case kReqOwnDialog:
        case kReqEnterFastLoop:
        case kReqLeaveFastLoop:
        case kReqOpenLoop:
        case kReqCloseOpenLoop:
            return false;
        default:
            return kind >= kReqCreateTextWindow && kind <= kReqAddAccelerator;
    }
}

void post_request(uint32_t kind, void* record) {
    PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, reinterpret_cast<LPARAM>(record));
    if (!request_signals(kind)) {
        // Waiting would block the worker for ever: count the misuse instead.
        ++g_unsignalled_posts;
        return;
    }
    WaitForSingleObject(g_core.request_done_event, INFINITE);
}

void post_request_nowait(uint32_t kind, LPARAM value) {
    PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, value);
}

void send_request(uint32_t kind, LPARAM record) {
    SendMessageA(g_core.request_window, kRequestMessage, kind, record);
    Sleep(0);
}

void dispatch_request(const MSG& msg) {
    auto kind = static_cast<uint32_t>(msg.wParam);
    LPARAM lparam = msg.lParam;
    if (!carry_out_common(kind, lparam)) {
        switch (kind) {
            case kReqPeek:
                peek_message(lparam);
                break;
            case kReqPopupMenu:
                track_popup_menu(lparam);
                break;
            case kReqFileDialog:
                file_dialog(lparam);
                break;
            case kReqPump:
                pump_messages();
                break;
            case kReqFolderDialog:
                folder_dialog(lparam);
                break;
            case kReqEditDialog:
                edit_dialog(lparam);
                break;
            case kReqListDialog:
                list_dialog(lparam);
                break;
            case kReqInputDialog:
                input_dialog(lparam);
                break;
            case kReqPause:
                Sleep(static_cast<DWORD>(lparam));
                break;
            case kReqFillList:
                fill_list(lparam);
                break;
            case kReqOwnDialog:
                create_own_dialog(lparam);
                return;
            case kReqEnterFastLoop:
                run_fast_loop();
                return;
            case kReqAddAccelerator:
                add_accelerator(lparam);
                break;
            default:
                return;  // the fast-loop markers outside the fast loop, and unknown kinds
        }
    }
    if (request_signals(kind)) {
        SetEvent(g_core.request_done_event);
    }
}

LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRequestMessage) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    auto kind = static_cast<uint32_t>(wparam);
    if (carry_out_common(kind, lparam)) {
        return 0;
    }
    switch (kind) {
        case kReqExternalCall:
            carry_out_external_call(lparam);
            after_pause_or_call();
            return 0;
        case kReqPause:
            Sleep(static_cast<DWORD>(lparam));
            after_pause_or_call();
            return 0;
        default:
            return 0;
    }
}

int32_t dialog_result_flag() {
    return g_dialog_result.load();
}

void set_dialog_result_flag(int32_t value) {
    g_dialog_result = value;
}

int32_t peeked_message() {
    return g_peeked_message.load();
}

int32_t unsignalled_posts() {
    return g_unsignalled_posts.load();
}
