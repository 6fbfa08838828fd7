// Test body: the file search, the list-box and combo-box copy and the pause inside a whole
// program of the runtime, with the main thread running its message loop. The scenario comes from
// RT_SCENARIO; results are key=value lines on the standard output.
#include <windows.h>

#include <atomic>
#include <thread>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/system/file_list.h"
#include "runtime/system/system_helpers.h"
#include "runtime/windows/window_requests.h"
#include "tests/support/body_output.h"

namespace {

// A parent of its own (own id 0, so no menu) or a child control with an id from the counter.
HWND create_on_main_thread(const char* class_name, DWORD style, HWND parent) {
    uint32_t own_id = parent == nullptr ? 1 : 0;
    ControlRecord* record =
        new ControlRecord{own_id, style, 0, class_name, "", 0, 0, 200, 200, parent, 0, g_core.instance, nullptr};
    post_request(kReqCreateControl, record);
    HWND control = record->result;
    delete record;
    return control;
}

std::string current_folder() {
    char buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, buffer);
    return buffer;
}

// While add_files runs, a watcher samples the main thread's suspend count (suspending and resuming
// it once per sample) and the current folder.
void search_scenario() {
    std::string start = current_folder();
    std::atomic<bool> done{false};
    std::atomic<DWORD> highest{0};
    std::atomic<int> samples{0};
    std::atomic<bool> folder_moved{false};
    std::thread watcher([&] {
        while (!done) {
            folder_moved = folder_moved || current_folder() != start;
            DWORD previous = SuspendThread(g_core.main_thread);
            ResumeThread(g_core.main_thread);
            if (previous != static_cast<DWORD>(-1) && previous > highest) {
                highest = previous;
            }
            ++samples;
        }
    });
    while (samples == 0) {
        Sleep(0);
    }
    add_files(RtString("*.JP*"), 1);
    done = true;
    watcher.join();
    body_printf("count=%d", last_index + 1);
    body_printf("first=%s", list_item(0).c_str());
    body_printf("suspended_during=%d", highest.load() >= 1 ? 1 : 0);
    DWORD after = SuspendThread(g_core.main_thread);
    ResumeThread(g_core.main_thread);
    body_printf("suspend_count_after=%lu", after);
    body_printf("folder_kept=%d", !folder_moved && current_folder() == start ? 1 : 0);
    // The main thread answers requests again.
    DWORD before = GetTickCount();
    pause(50);
    body_printf("pause_after_search=%lu", GetTickCount() - before);
}

void print_list_box(HWND box, UINT count_message, UINT text_message, const char* name) {
    LRESULT count = SendMessageA(box, count_message, 0, 0);
    body_printf("%s_count=%ld", name, static_cast<long>(count));
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(box, text_message, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        body_printf("%s_%ld=%s", name, static_cast<long>(i), text);
    }
}

void controls_scenario() {
    HWND parent = create_on_main_thread("STATIC", WS_POPUP, nullptr);
    HWND box = create_on_main_thread("LISTBOX", WS_CHILD, parent);
    HWND combo = create_on_main_thread("COMBOBOX", WS_CHILD | CBS_DROPDOWNLIST, parent);
    body_printf("created=%d", parent != nullptr && box != nullptr && combo != nullptr ? 1 : 0);
    if (box == nullptr || combo == nullptr) {
        return;
    }
    body_printf("empty_copy=%d", copy_list_to_control(box));
    add_string(RtString("one"));
    add_string(RtString("two"));
    add_string(RtString("three"));
    body_printf("box_result=%d", copy_list_to_control(box));
    body_printf("combo_result=%d", copy_list_to_control(combo));
    print_list_box(box, LB_GETCOUNT, LB_GETTEXT, "box");
    print_list_box(combo, CB_GETCOUNT, CB_GETLBTEXT, "combo");
}

void pause_scenario() {
    for (int32_t ms : {0, 100, 300, -1, -100}) {
        DWORD before = GetTickCount();
        pause(ms);
        body_printf("pause_%d=%lu", ms, GetTickCount() - before);
    }
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "search") {
        search_scenario();
    } else if (scenario == "controls") {
        controls_scenario();
    } else if (scenario == "pause") {
        pause_scenario();
    }
    body_print("end");
}
