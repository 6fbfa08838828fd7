// Test body: one meeting point of the two threads under a few seconds of stress, a second thread
// of the body standing in for the user or another program; then the body ends. A hang shows as a
// run past the driving test's bound. Results are key=value lines.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/system/file_list.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_requests.h"
#include "tests/support/body_output.h"

namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_main_calls{0};
int g_slow_requests = 0;  // waited past the first repost

template <typename... Arguments>
int32_t call(const char* library, const char* function, Arguments... arguments) {
    return invoke_external(RtString(library), RtString(function), sizeof...(arguments),
                           static_cast<uint32_t>(arguments)...);
}

// Repeats step for 2.5 s (or RT_STRESS_MS, for longer runs by hand) while other runs on a thread
// of its own; returns the steps' sum.
template <typename Step, typename Other>
int stress(Step step, Other other) {
    char text[16] = {};
    DWORD ms = GetEnvironmentVariableA("RT_STRESS_MS", text, sizeof text) > 0 ? std::stoul(text) : 2500;
    std::thread helper(other);
    int sum = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        sum += step();
    }
    g_stop = true;
    helper.join();
    return sum;
}

// 200 files in 20 folders below the temporary folder (kept for the next runs), made current.
void enter_tree() {
    char temp[MAX_PATH] = {};
    SetCurrentDirectoryA((GetTempPathA(MAX_PATH, temp), temp));
    CreateDirectoryA("ends_tree", nullptr);
    for (int i = 0; i < 200; ++i) {
        std::string name = "ends_tree\\f" + std::to_string(i / 10);
        CreateDirectoryA(name.c_str(), nullptr);
        name += "\\p" + std::to_string(i) + ".jpg";
        CloseHandle(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    SetCurrentDirectoryA("ends_tree");
}

// 1 when a search finds another number of files than the first (at least the 200 made).
int search_misses() {
    static int32_t first = -1;
    clear_list();
    add_files(RtString("*.jpg"), 1);
    first = first < 0 ? last_index + 1 : first;
    return last_index + 1 == first && first >= 200 ? 0 : 1;
}

// One posted and one sent request; 1 when the posted one was not carried out on its record (a new
// one each time, so at changing addresses).
int missed_requests() {
    std::unique_ptr<int32_t> pending(new int32_t(-1));
    DWORD start = GetTickCount();
    post_request(kReqInputPending, pending.get());
    g_slow_requests += GetTickCount() - start > 260 ? 1 : 0;
    send_request(kReqPause, 1);
    return *pending == -1 ? 1 : 0;
}

// A dialog procedure of the program that looks up a special folder by name on a timer, on the
// main thread: both calls allocate.
INT_PTR CALLBACK calling_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, 1, 1, nullptr);
    }
    for (int i = 0; message == WM_TIMER && i < 10; ++i, ++g_main_calls) {
        void* items = nullptr;
        call("SHELL32", "SHGetSpecialFolderLocation", reinterpret_cast<uint32_t>(dialog), 0x26,
             reinterpret_cast<uint32_t>(&items));
        call("OLE32", "CoTaskMemFree", reinterpret_cast<uint32_t>(items));
    }
    return message == WM_INITDIALOG;
}

std::atomic<int> g_prints{0};
std::atomic<int> g_prints_before_call{-1};  // in the 200 ms before it
std::atomic<int> g_prints_in_call{-1};

// A dialog procedure that calls Sleep(300) by name once, on the main thread, 200 ms after it
// starts, and counts the worker's prints that end before and during the call. During it only the
// print under way and those made while the name is looked up may end.
INT_PTR CALLBACK sleeping_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    static int at_start = 0;
    if (message == WM_INITDIALOG) {
        at_start = g_prints;
        SetTimer(dialog, 1, 200, nullptr);
    } else if (message == WM_TIMER && g_prints_in_call < 0) {
        KillTimer(dialog, 1);
        int before = g_prints;
        call("KERNEL32", "Sleep", 300);
        g_prints_before_call = before - at_start;
        g_prints_in_call = g_prints - before;
    }
    return message == WM_INITDIALOG;
}

// Starts the keyboard move loop of window on the main thread; true once it runs.
bool moving(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    for (int i = 0; i < 500 && (info.flags & GUI_INMOVESIZE) == 0; ++i) {
        Sleep(10);
        GetGUIThreadInfo(g_core.main_thread_id, &info);
    }
    return (info.flags & GUI_INMOVESIZE) != 0;
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario.find("search") != std::string::npos) {
        enter_tree();
    }
    print_text(RtString(scenario.c_str()), kPrintNewLine, false, false);
    HWND window = g_core.text_window;
    DWORD main_thread = g_core.main_thread_id;
    body_print("ready");
    if (scenario == "search_busy") {
        // Another program fills a list box of the window with folder listings: the main thread
        // works in the heap nearly all the time.
        ControlRecord box = {1, WS_CHILD, 0, "LISTBOX", "", 0, 0, 99, 99, window, 77, g_core.instance, nullptr};
        post_request(kReqCreateControl, &box);
        body_printf("misses=%d", stress(search_misses, [&] {
                        while (!g_stop) {
                            SendMessageA(box.result, LB_RESETCONTENT, 0, 0);
                            SendMessageA(box.result, LB_DIR, DDL_DIRECTORY, LPARAM("C:\\windows\\system32\\*"));
                        }
                    }));
    } else if (scenario == "main_calls") {
        static OwnDialogRecord own = {{}, calling_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        stress([] { return HeapFree(GetProcessHeap(), 0, HeapAlloc(GetProcessHeap(), 0, 64)) ? 0 : 1; }, [] {});
        body_printf("main_calls=%d", g_main_calls > 0 ? 1 : 0);
    } else if (scenario == "call_pauses") {
        static OwnDialogRecord own = {{}, sleeping_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        for (DWORD start = GetTickCount(); g_prints_in_call < 0 && GetTickCount() - start < 10000; ++g_prints) {
            print_text(RtString("x"), kPrintStay, false, false);
        }
        body_printf("paused=%d", g_prints_in_call * 10 < g_prints_before_call ? 1 : 0);
    } else if (scenario == "quit_requests") {
        body_printf("missed=%d", stress(missed_requests, [&] { PostThreadMessageA(main_thread, WM_QUIT, 0, 0); }));
    } else if (scenario == "copies") {
        int missed = stress(missed_requests, [] {
            while (!g_stop) {
                call("KERNEL32", "Sleep", 300);  // the main thread busy past the first repost
            }
        });
        body_printf("reposted=%d", g_slow_requests > 0 ? 1 : 0);
        body_printf("missed=%d", missed);
    } else if (scenario == "moving") {
        // A window destroyed during its move loop; the worker prints after it. Then the body ends
        // during a move loop of the text window.
        DialogWindowRecord dialog = {"Dialogfenster", nullptr, 50, 50, 200, 150, nullptr};
        post_request(kReqDialogWindow, &dialog);
        bool first = moving(dialog.result);
        std::thread([&] {
            call("USER32", "DestroyWindow", reinterpret_cast<uint32_t>(dialog.result));
            PostThreadMessageA(main_thread, WM_KEYDOWN, VK_ESCAPE, 0);  // the user lets go
        }).join();
        print_text(RtString("after"), kPrintNewLine, false, false);
        body_printf("moving=%d%d", first ? 1 : 0, moving(window) ? 1 : 0);
    } else if (scenario.compare(0, 6, "close_") == 0) {
        // The user closes the window at a random moment of searches, requests or external calls.
        std::thread([window] { Sleep(300 + GetTickCount() % 300), PostMessageA(window, WM_CLOSE, 0, 0); }).detach();
        for (;;) {
            scenario == "close_search"  ? search_misses()
            : scenario == "close_calls" ? call("USER32", "IsWindow", 1)
                                        : missed_requests();
        }
    }
    body_print("end");
}
