// Test body for the request channel, the fast loop and external calls. The scenario comes from
// RT_SCENARIO; results are printed as key=value lines. Every scenario ends by printing how often a
// non-signalling kind was posted with a wait (must stay 0).
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/settings/set_switch.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/window_requests.h"
#include "tests/support/body_output.h"

namespace {

constexpr UINT kCountedMessage = WM_USER + 7;
constexpr UINT kCallFromMainThread = WM_USER + 9;
constexpr UINT kCallFromMainThreadLater = WM_USER + 10;
constexpr UINT kPostFromMainThread = WM_USER + 11;

std::atomic<int> g_counted{0};
std::atomic<int> g_main_thread_result{0};
RtString g_dll_path;

HWND create_control(const char* class_name, const char* text, DWORD style, HWND parent, bool own_id = false,
                    uint32_t id = 0, uint32_t kind = kReqCreateControl) {
    ControlRecord record = {own_id ? 1u : 0u, style, 0, class_name, text, 0, 0, 200, 100, parent, id, g_core.instance,
                            nullptr};
    post_request(kind, &record);
    return record.result;
}

LRESULT CALLBACK test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kCountedMessage) {
        ++g_counted;
        return 0;
    }
    if (message == kCallFromMainThread) {
        // An external call made on the main thread: the worker is suspended meanwhile.
        return invoke_external(g_dll_path, RtString("thread_of_call"), 0);
    }
    if (message == kCallFromMainThreadLater) {
        // Lands while the worker's own call is between taking its arguments and its request.
        Sleep(300);
        g_main_thread_result = invoke_external(g_dll_path, RtString("two_std"), 2, 8, 9);
        return 0;
    }
    if (message == kPostFromMainThread) {
        // A request issued on the main thread itself, as a dialog procedure filling a list does.
        int32_t pending = -1;
        post_request(kReqInputPending, &pending);
        return pending + 1;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND create_test_window() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = test_window_proc;
    wc.hInstance = g_core.instance;
    wc.lpszClassName = "RtTestWindow";
    RegisterClassA(&wc);
    return create_control("RtTestWindow", "test window", WS_OVERLAPPED, nullptr, true, 0);
}

void scenario_control_ids() {
    HWND parent = create_control("STATIC", "parent", WS_OVERLAPPEDWINDOW, nullptr, true, 0);
    body_printf("parent=%d", parent != nullptr ? 1 : 0);
    body_printf("first=%d", GetDlgCtrlID(create_control("BUTTON", "a", WS_CHILD, parent)));
    body_printf("second=%d", GetDlgCtrlID(create_control("BUTTON", "b", WS_CHILD, parent)));

    ToolbarRecord toolbar = {parent, WS_CHILD | WS_VISIBLE, nullptr, 150, 1, 100, nullptr};
    post_request(kReqToolbar, &toolbar);
    body_printf("toolbar=%d", GetDlgCtrlID(toolbar.result));
    body_printf("toolbar_buttons=%d", static_cast<int>(SendMessageA(toolbar.result, TB_BUTTONCOUNT, 0, 0)));
    TBBUTTON button = {};
    SendMessageA(toolbar.result, TB_GETBUTTON, 98, reinterpret_cast<LPARAM>(&button));
    body_printf("toolbar_last_command=%d", button.idCommand);

    HWND tabs = create_control(WC_TABCONTROLA, "Erster", WS_CHILD, parent, false, 0, kReqTabControl);
    body_printf("tabs=%d", GetDlgCtrlID(tabs));
    char caption[32] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    item.cchTextMax = sizeof caption;
    SendMessageA(tabs, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    body_printf("tab_caption=%s", caption);

    UpDownRecord up_down = {0, 0, 20, 20, parent, nullptr, 10, 0, 5};
    post_request(kReqUpDown, &up_down);
    body_printf("updown=%d", GetDlgCtrlID(FindWindowExA(parent, nullptr, UPDOWN_CLASSA, nullptr)));

    StatusBarRecord status = {parent, "Status", nullptr};
    post_request(kReqStatusBar, &status);
    body_printf("status=%d", GetDlgCtrlID(status.result));

    body_printf("own_id=%d", GetDlgCtrlID(create_control("BUTTON", "c", WS_CHILD, parent, true, 77)));
    body_printf("after=%d", GetDlgCtrlID(create_control("BUTTON", "d", WS_CHILD, parent)));
}

void scenario_accelerators() {
    AcceleratorRecord first = {500, 'A', 2};
    AcceleratorRecord second = {501, VK_F5, 1 | 4};
    post_request(kReqAddAccelerator, &first);
    post_request(kReqAddAccelerator, &second);
    body_printf("count=%d", g_core.accelerator_count);
    ACCEL table[4] = {};
    int n = CopyAcceleratorTableA(g_core.accelerators, table, 4);
    body_printf("entries=%d", n);
    for (int i = 0; i < n; ++i) {
        body_printf("accel%d=%d,%d,%d", i, table[i].cmd, table[i].key, table[i].fVirt);
    }
}

void scenario_file_dialog() {
    char buffer[292] = "vorher.txt";
    FileDialogRecord record = {0, "Testdatei", "Bilder (*.jpg)|*.jpg|Alle Dateien (*.*)|*.*", buffer};
    body_print("dialog_open");
    post_request(kReqFileDialog, &record);
    body_printf("file=[%s]", buffer);
}

void scenario_folder_dialog() {
    char buffer[292] = "vorher";
    set_dialog_result_flag(7);
    FolderDialogRecord record = {"Ordner w\xE4hlen", buffer};
    body_print("dialog_open");
    post_request(kReqFolderDialog, &record);
    body_printf("flag=%d", dialog_result_flag());
    body_printf("folder=[%s]", buffer);
}

void scenario_pause() {
    DWORD start = GetTickCount();
    send_request(kReqPause, 150);
    body_printf("sent_ms=%lu", GetTickCount() - start);
    start = GetTickCount();
    post_request(kReqPause, reinterpret_cast<void*>(static_cast<intptr_t>(120)));
    body_printf("posted_ms=%lu", GetTickCount() - start);
}

// Sets the fastmode switch as a program does.
void fastmode_on(int32_t value = 1) {
    RtValue argument = value_from_int(value, nullptr);
    RtValue previous;
    set_switch(previous, RtString("fastmode"), 1, &argument);
}

void fastmode_off() {
    fastmode_on(0);
}

void scenario_fast_loop() {
    HWND window = create_test_window();
    fastmode_on();
    PostMessageA(window, kCountedMessage, 0, 0);
    Sleep(300);
    body_printf("queued_in_fast_loop=%d", g_counted.load());
    int32_t pending = -1;
    post_request(kReqInputPending, &pending);  // posted requests are still carried out
    body_printf("request_in_fast_loop=%d", pending >= 0 ? 1 : 0);
    fastmode_off();
    Sleep(300);
    body_printf("after_fastmode_off=%d", g_counted.load());

    // A pause with fastmode on opens normal dispatching until fastmode goes off.
    fastmode_on();
    PostMessageA(window, kCountedMessage, 0, 0);
    Sleep(300);
    body_printf("before_pause=%d", g_counted.load());
    send_request(kReqPause, 10);
    Sleep(300);
    body_printf("after_pause=%d", g_counted.load());
    // Off and at once on again, before the main thread looks: the new fast loop is not open.
    fastmode_off();
    fastmode_on();
    PostMessageA(window, kCountedMessage, 0, 0);
    Sleep(300);
    body_printf("after_off_on=%d", g_counted.load());
    fastmode_off();
    Sleep(300);
    body_printf("after_second_off=%d", g_counted.load());
}

// Switching fastmode on twice (as 1 then 5 does) and a request message posted to a window while
// the fast loop runs: neither may leave a fast loop behind once fastmode is off.
void scenario_fast_loop_nesting() {
    HWND window = create_test_window();
    fastmode_on();
    fastmode_on(5);
    PostMessageA(window, kCountedMessage, 0, 0);
    fastmode_off();
    Sleep(300);
    body_printf("after_second_entry=%d", g_counted.load());

    fastmode_on();
    PostMessageA(g_core.request_window, kRequestMessage, kReqLeaveFastLoop, 0);
    PostMessageA(window, kCountedMessage, 0, 0);
    Sleep(300);
    body_printf("window_request_in_fast_loop=%d", g_counted.load() - 1);
    fastmode_off();
    Sleep(300);
    body_printf("after_fastmode_off=%d", g_counted.load() - 1);
}

void scenario_post_on_main_thread() {
    HWND window = create_test_window();
    DWORD_PTR answer = 0;
    LRESULT done = SendMessageTimeoutA(window, kPostFromMainThread, 0, 0, SMTO_NORMAL, 5000, &answer);
    body_printf("carried_out=%d", done != 0 && answer != 0 ? 1 : 0);
    body_printf("event_left_set=%d", WaitForSingleObject(g_core.request_done_event, 0) == WAIT_OBJECT_0 ? 1 : 0);
}

void scenario_end_in_fast_loop() {
    fastmode_on();
    Sleep(200);
    body_print("ending");
    end_worker();
}

// Posts every signalling kind that neither blocks on a dialog nor needs the text window, with
// records that make it harmless: each must come back. (The modal edit, list and input dialogs are
// answered in the dialog tests.)
void scenario_signals() {
    const uint32_t kinds[] = {kReqCreateControl, kReqPeek,          kReqModelessDialog, kReqResourceDialog,
                              kReqPopupMenu,     kReqDestroyWindow, kReqTabControl,     kReqPump,
                              kReqDialogWindow,  kReqInputPending,  kReqUpDown,         kReqStatusBar,
                              kReqTooltip,       kReqToolbar,       kReqAddAccelerator};
    for (uint32_t kind : kinds) {
        uint32_t fields[16] = {};
        auto text = [](const char* s) { return reinterpret_cast<uint32_t>(s); };
        switch (kind) {
            case kReqCreateControl:
            case kReqTabControl:
                fields[3] = text("no such class");
                fields[4] = text("");
                break;
            case kReqResourceDialog:
            case kReqDialogWindow:
                fields[0] = text("");
                break;
            case kReqAddAccelerator:
                fields[0] = 1;
                fields[1] = 'X';
                break;
            default:
                break;
        }
        post_request(kind, fields);
        body_printf("kind_%X=back", kind);
    }
    post_request(kReqPause, reinterpret_cast<void*>(static_cast<intptr_t>(1)));
    body_print("all_back=1");
}

// The kinds that may be posted with a wait, over the whole range the table can hold.
void scenario_signalling_kinds() {
    std::string kinds;
    for (uint32_t kind = 0xA000; kind < 0xA040; ++kind) {
        if (request_signals(kind)) {
            char hex[8];
            snprintf(hex, sizeof hex, "%X", kind);
            kinds += (kinds.empty() ? "" : ",") + std::string(hex);
        }
    }
    body_printf("signalling=%s", kinds.c_str());
}

void scenario_misposted() {
    // A non-signalling kind given to post_request must not block the worker.
    post_request(kReqCloseOpenLoop, nullptr);
    body_print("returned=1");
}

uint32_t digest(const uint32_t* values, int count) {
    uint32_t h = 17;
    for (int i = 0; i < count; ++i) {
        h = h * 31u + values[i];
    }
    return h;
}

int loads() {
    char buffer[16] = {};
    GetEnvironmentVariableA("EXT_TEST_LOADS", buffer, sizeof buffer);
    return atoi(buffer);
}

void scenario_external() {
    // The library lies beside this program.
    RtString program = program_path();
    int32_t folder_length = static_cast<int32_t>(strrchr(program.c_str(), '\\') - program.c_str()) + 1;
    g_dll_path = concat(RtString(program.c_str(), 0, folder_length), "ext_test.dll");
    body_printf("loaded_before=%d", GetModuleHandleA("ext_test.dll") != nullptr ? 1 : 0);
    body_printf("zero_std=%d", invoke_external(g_dll_path, RtString("zero_std"), 0));
    body_printf("loaded_after=%d", GetModuleHandleA("ext_test.dll") != nullptr ? 1 : 0);
    body_printf("zero_cdecl=%d", invoke_external(g_dll_path, RtString("zero_cdecl"), 0));
    body_printf("loads=%d", loads());

    uint32_t args[33];
    for (int i = 0; i < 33; ++i) {
        args[i] = static_cast<uint32_t>(i * 7 + 3);
    }
    body_printf("expected33=%d", static_cast<int32_t>(digest(args, 33)));
    body_printf("std33=%d", invoke_external_table(g_dll_path, RtString("digest33_std"), 33, args));
    body_printf("cdecl33=%d", invoke_external_table(g_dll_path, RtString("digest33_cdecl"), 33, args));
    body_printf("variadic=%d", invoke_external(g_dll_path, RtString("two_std"), 2, 3, 4));

    // Keep the library loaded so the many calls below do not load it each time; a stack that the
    // thunk failed to restore would overflow long before the end.
    HMODULE pinned = LoadLibraryA(g_dll_path.c_str());
    int32_t last = 0;
    for (int i = 0; i < 20000; ++i) {
        last = invoke_external_table(RtString("C:\\no\\such\\folder\\ext_test.dll"), RtString("digest33_cdecl"), 33, args);
    }
    body_printf("many_calls=%d", last);
    int before = loads();
    body_printf("by_file_name=%d", invoke_external(RtString("Z:\\elsewhere/ext_test.dll"), RtString("two_std"), 2, 5, 6));
    body_printf("by_file_name_loads=%d", loads() - before);
    body_printf("still_loaded=%d", GetModuleHandleA("ext_test.dll") != nullptr ? 1 : 0);
    FreeLibrary(pinned);

    body_printf("worker_call_thread=%d",
                invoke_external(g_dll_path, RtString("thread_of_call"), 0) == static_cast<int32_t>(g_core.main_thread_id)
                    ? 1 : 0);
    HWND window = create_test_window();
    LRESULT thread = SendMessageA(window, kCallFromMainThread, 0, 0);
    body_printf("main_call_thread=%d", thread == static_cast<LRESULT>(g_core.main_thread_id) ? 1 : 0);

    g_switches.errorlevel = -1;
    body_printf("missing_function=%d", invoke_external(g_dll_path, RtString("no_such_function"), 0));
    body_printf("missing_function_code=%d", last_error_code());
    body_printf("missing_function_argument=%s", last_error_argument().c_str());
    body_printf("loaded_after_missing=%d", GetModuleHandleA("ext_test.dll") != nullptr ? 1 : 0);
    body_printf("missing_library=%d", invoke_external(RtString("no_such_lib.dll"), RtString("f"), 0));
    body_printf("missing_library_code=%d", last_error_code());
    body_printf("missing_library_argument=%s", last_error_argument().c_str());
}

// The worker's call loads the library, whose start-up takes a second; meanwhile the main thread
// makes a call of its own, which must not change the worker's arguments.
void scenario_external_overlap() {
    RtString program = program_path();
    g_dll_path = concat(RtString(program.c_str(), 0, static_cast<int32_t>(strrchr(program.c_str(), '\\') -
                                                                           program.c_str()) + 1),
                        "ext_test.dll");
    HWND window = create_test_window();
    SetEnvironmentVariableA("EXT_TEST_SLOW_ATTACH", "1000");
    PostMessageA(window, kCallFromMainThreadLater, 0, 0);
    body_printf("worker_call=%d", invoke_external(g_dll_path, RtString("two_std"), 2, 3, 4));
    SetEnvironmentVariableA("EXT_TEST_SLOW_ATTACH", nullptr);
    body_printf("main_call=%d", g_main_thread_result.load());
}

void scenario_external_fatal() {
    body_print("calling");
    invoke_external(RtString("no_such_lib.dll"), RtString("f"), 0);
    body_print("after");  // the report at errorlevel 1 ends the worker
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "control_ids") {
        scenario_control_ids();
    } else if (scenario == "accelerators") {
        scenario_accelerators();
    } else if (scenario == "file_dialog") {
        scenario_file_dialog();
    } else if (scenario == "folder_dialog") {
        scenario_folder_dialog();
    } else if (scenario == "pause") {
        scenario_pause();
    } else if (scenario == "fast_loop") {
        scenario_fast_loop();
    } else if (scenario == "fast_loop_nesting") {
        scenario_fast_loop_nesting();
    } else if (scenario == "post_on_main_thread") {
        scenario_post_on_main_thread();
    } else if (scenario == "end_in_fast_loop") {
        scenario_end_in_fast_loop();
    } else if (scenario == "return_in_fast_loop") {
        fastmode_on();
        Sleep(200);
    } else if (scenario == "signals") {
        scenario_signals();
    } else if (scenario == "signalling_kinds") {
        scenario_signalling_kinds();
    } else if (scenario == "misposted") {
        scenario_misposted();
    } else if (scenario == "external") {
        scenario_external();
    } else if (scenario == "external_overlap") {
        scenario_external_overlap();
    } else if (scenario == "external_fatal") {
        scenario_external_fatal();
    }
    body_printf("unsignalled_posts=%d", unsignalled_posts());
    body_print("end");
}
