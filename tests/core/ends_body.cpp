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
#include "runtime/settings/set_switch.h"
#include "runtime/system/file_access.h"
#include "runtime/system/file_list.h"
#include "runtime/system/system_helpers.h"
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

// The window paints what was invalidated within two seconds: the main thread dispatches messages.
bool repaints(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    for (int i = 0; i < 200 && GetUpdateRect(window, nullptr, FALSE); ++i) {
        Sleep(10);
    }
    return !GetUpdateRect(window, nullptr, FALSE);
}

void set_fastmode(int32_t value) {
    RtValue argument = value_from_int(value, nullptr);
    RtValue previous;
    set_switch(previous, RtString("fastmode"), 1, &argument);
}

// Answers the box captioned caption once it shows (after ms at the least) from a thread of its own.
void answer_box(const char* caption, DWORD ms) {
    std::thread([caption, ms] {
        Sleep(ms);
        HWND box = nullptr;
        for (int i = 0; i < 1000 && (box = FindWindowA(nullptr, caption)) == nullptr; ++i) {
            Sleep(10);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }).detach();
}

// A dialog procedure whose WM_INITDIALOG takes 300 ms: the main thread is busy meanwhile.
INT_PTR CALLBACK slow_dialog_proc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        Sleep(300);
    }
    return message == WM_INITDIALOG;
}

// A dialog procedure whose 10 ms timer takes 15 ms: the queue is never empty.
INT_PTR CALLBACK busy_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, 1, 10, nullptr);
    } else if (message == WM_TIMER) {
        Sleep(15);
    }
    return message == WM_INITDIALOG;
}

std::atomic<bool> g_shown{false};

// A dialog procedure that notes that it was made.
INT_PTR CALLBACK noting_dialog_proc(HWND, UINT message, WPARAM, LPARAM) {
    g_shown = g_shown || message == WM_INITDIALOG;
    return message == WM_INITDIALOG;
}

constexpr UINT kRunModalLoop = WM_USER + 20;
std::atomic<bool> g_in_modal{false};

// A window that runs a modal loop of its own for up to 3 s when another thread sends it
// kRunModalLoop: everything that loop dispatches is dispatched inside that thread's send.
LRESULT CALLBACK modal_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRunModalLoop) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    g_in_modal = true;
    for (DWORD start = GetTickCount(); !g_stop && GetTickCount() - start < 3000;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return 0;
}

// Posted requests while another thread's send runs a modal loop on the main thread: one not waited
// for is carried out, one waited for comes back before its first repost.
void requests_in_send(HWND window) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = modal_window_proc;
    wc.hInstance = g_core.instance;
    wc.lpszClassName = "RtModalWindow";
    RegisterClassA(&wc);
    ControlRecord record = {1, WS_CHILD, 0, "RtModalWindow", "", 0, 0, 10, 10, window, 78, g_core.instance, nullptr};
    post_request(kReqCreateControl, &record);
    std::thread sender([&] { SendMessageA(record.result, kRunModalLoop, 0, 0); });
    while (!g_in_modal) {
        Sleep(1);
    }
    static OwnDialogRecord own = {{}, noting_dialog_proc};
    post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
    int32_t pending = -1;
    DWORD start = GetTickCount();
    post_request(kReqInputPending, &pending);
    body_printf("prompt=%d", pending != -1 && GetTickCount() - start < 250 ? 1 : 0);
    for (DWORD wait = GetTickCount(); !g_shown && GetTickCount() - wait < 2000;) {
        Sleep(10);
    }
    body_printf("own_dialog=%d", g_shown ? 1 : 0);
    g_stop = true;
    sender.join();
}

// Writes numbered lines to channel 1 (a file the driving test reads) and reports each on the
// standard output, for 50 ms at a time between a posted request, which must come back carried out,
// and a print: the end of the process may come at any moment, and must stop the worker at one of
// those (well within the half second it waits) before anything is cleaned up or flushed.
[[noreturn]] void write_lines() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    assign_file(1, RtString((std::string(temp) + "ends_lines.txt").c_str()));
    rewrite_file(1);
    for (int line = 1;;) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 50; ++line) {
            print_to_file(1, RtString(std::to_string(line).c_str()), 2, 0);
            body_printf("wrote=%d", line);
        }
        std::unique_ptr<int32_t> pending(new int32_t(-1));
        post_request(kReqInputPending, pending.get());
        if (*pending == -1) {
            body_print("unfilled");
        }
        print_text(RtString("."), kPrintStay, false, false);
    }
}

std::atomic<int> g_posts{0};
std::atomic<int> g_posts_before_box{-1};  // in the 200 ms before it
std::atomic<int> g_posts_in_box{-1};

// A dialog procedure that shows a message box by name once, on the main thread, 200 ms after it
// starts, and counts the worker's posted requests that end before and during the box. The box's
// loop would carry them out: the worker must not post while the call lasts.
INT_PTR CALLBACK box_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    static int at_start = 0;
    if (message == WM_INITDIALOG) {
        at_start = g_posts;
        SetTimer(dialog, 1, 200, nullptr);
    } else if (message == WM_TIMER && g_posts_in_box < 0) {
        KillTimer(dialog, 1);
        int before = g_posts;
        answer_box("Pause-Box", 300);
        call("USER32", "MessageBoxA", reinterpret_cast<uint32_t>(dialog), reinterpret_cast<uint32_t>("x"),
             reinterpret_cast<uint32_t>("Pause-Box"), 0);
        g_posts_before_box = before - at_start;
        g_posts_in_box = g_posts - before;
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
    } else if (scenario == "box_pauses") {
        static OwnDialogRecord own = {{}, box_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        for (DWORD start = GetTickCount(); g_posts_in_box < 0 && GetTickCount() - start < 10000; ++g_posts) {
            int32_t pending = -1;
            post_request(kReqInputPending, &pending);
        }
        body_printf("paused=%d", g_posts_in_box * 10 < g_posts_before_box ? 1 : 0);
    } else if (scenario == "fastmode_box") {
        // fastmode off while the main thread is busy, and at once a box, whose loop takes the
        // fast loop's wake-ups.
        set_fastmode(1);
        static OwnDialogRecord own = {{}, slow_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        Sleep(100);
        set_fastmode(0);
        answer_box("Fastmode-Box", 0);
        call("USER32", "MessageBoxA", 0, reinterpret_cast<uint32_t>("x"), reinterpret_cast<uint32_t>("Fastmode-Box"),
             0);
        body_printf("repainted=%d", repaints(window) ? 1 : 0);
    } else if (scenario == "busy_dialog") {
        static OwnDialogRecord own = {{}, busy_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        Sleep(200);
        post_request(kReqPump, nullptr);
        body_print("pumped=1");
    } else if (scenario == "requests_in_send") {
        requests_in_send(window);
    } else if (scenario == "fastmode_quit") {
        set_fastmode(1);
        std::thread([main_thread] {
            Sleep(300 + GetTickCount() % 300);
            PostThreadMessageA(main_thread, WM_QUIT, 0, 0);
        }).detach();
        write_lines();
    } else if (scenario == "close_writing") {
        std::thread([window] { Sleep(300 + GetTickCount() % 300), PostMessageA(window, WM_CLOSE, 0, 0); }).detach();
        write_lines();
    } else if (scenario == "pause_alive") {
        std::thread([window] {
            Sleep(500);
            body_printf("repainted=%d", repaints(window) ? 1 : 0);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }).detach();
        pause(5000);
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
