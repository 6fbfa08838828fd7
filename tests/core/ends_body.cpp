// Test body for the meeting points of the two threads under stress: a second thread of the body
// stands in for the user or another program. Each scenario runs for a bounded time and then ends
// the program, so a hang shows as a run past its bound. Results are key=value lines.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/system/file_list.h"
#include "runtime/windows/text_output.h"
#include "tests/support/body_output.h"

namespace {

constexpr DWORD kStressMs = 2500;

std::atomic<bool> g_stop{false};
std::atomic<int> g_main_calls{0};

bool time_left(DWORD start, DWORD ms = kStressMs) {
    return GetTickCount() - start < ms;
}

void open_window(const char* line) {
    print_text(RtString(line), kPrintNewLine, false, false);
    body_print("ready");
}

// 200 files in 20 folders below the temporary folder (made once, kept for the next runs), made
// the current folder for the searches.
void make_tree() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "ends_tree";
    CreateDirectoryA(root.c_str(), nullptr);
    for (int f = 0; f < 20; ++f) {
        std::string folder = root + "\\f" + std::to_string(f / 4) + "\\g" + std::to_string(f);
        CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < 10; ++i) {
            CloseHandle(CreateFileA((folder + "\\p" + std::to_string(i) + ".jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
        }
    }
    SetCurrentDirectoryA(root.c_str());
}

int search_once() {
    clear_list();
    add_files(RtString("*.jpg"), 1);
    return last_index + 1;
}

// Hang 1: the search suspended the main thread while it held the heap's lock. Another program
// fills a list box of the text window with a folder listing again and again, so the main thread
// works in the heap nearly all the time.
void search_while_main_thread_busy() {
    make_tree();
    open_window("search");
    ControlRecord list = {1, WS_CHILD | WS_VISIBLE, 0, "LISTBOX", "", 0, 0, 200, 200, g_core.text_window, 77,
                          g_core.instance, nullptr};
    post_request(kReqCreateControl, &list);
    HWND box = list.result;
    std::thread other([box] {
        while (!g_stop) {
            SendMessageA(box, LB_RESETCONTENT, 0, 0);
            SendMessageA(box, LB_DIR, DDL_READWRITE | DDL_DIRECTORY,
                         reinterpret_cast<LPARAM>("C:\\windows\\system32\\*.*"));
        }
    });
    DWORD start = GetTickCount();
    int found = 0;
    while (time_left(start)) {
        found = search_once();
    }
    g_stop = true;
    other.join();
    body_printf("found=%d", found);
}

// Hang 2: a dialog procedure of the program calls a function by name on the main thread, on a
// timer, while the worker allocates.
INT_PTR CALLBACK calling_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, 1, 1, nullptr);
        return TRUE;
    }
    if (message == WM_TIMER) {
        // The program's own folder look-up, as the gallery builder makes it: both calls allocate.
        static const RtString kShell32("SHELL32");
        static const RtString kFolder("SHGetSpecialFolderLocation");
        static const RtString kOle32("OLE32");
        static const RtString kFree("CoTaskMemFree");
        for (int i = 0; i < 10; ++i) {
            void* items = nullptr;
            invoke_external(kShell32, kFolder, 3, reinterpret_cast<uint32_t>(dialog), 0x26u,
                            reinterpret_cast<uint32_t>(&items));
            invoke_external(kOle32, kFree, 1, reinterpret_cast<uint32_t>(items));
            ++g_main_calls;
        }
        return TRUE;
    }
    return FALSE;
}

void main_thread_calls_while_worker_allocates() {
    open_window("external");
    static OwnDialogRecord own = {{}, calling_dialog_proc};
    post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
    DWORD start = GetTickCount();
    while (time_left(start)) {
        for (SIZE_T i = 0; i < 1000; ++i) {
            HeapFree(GetProcessHeap(), 0, HeapAlloc(GetProcessHeap(), 0, 64 + (i & 255)));
            delete[] new char[32 + (i & 127)];
        }
    }
    body_printf("main_calls=%d", g_main_calls > 0 ? 1 : 0);
    body_printf("main_call_count=%d", g_main_calls.load());
}

// Hang 3: the driving test closes the window at a random moment of the searches.
void search_until_closed() {
    make_tree();
    open_window("close");
    for (;;) {
        search_once();
    }
}

// Hang 4: another program posts WM_QUIT to the main thread while the worker issues requests of
// both ways; the requests go on until the body ends.
void requests_after_quit() {
    open_window("quit");
    DWORD main_thread = g_core.main_thread_id;
    std::thread other([main_thread] {
        Sleep(300);
        PostThreadMessageA(main_thread, WM_QUIT, 0, 0);
    });
    DWORD start = GetTickCount();
    int requests = 0;
    int answered = 0;
    while (time_left(start, 1500)) {
        send_request(kReqPause, 1);
        int32_t pending = -1;
        post_request(kReqInputPending, &pending);
        answered += pending != -1 ? 1 : 0;
        ++requests;
    }
    other.join();
    body_printf("all_answered=%d", answered == requests ? 1 : 0);
}

bool in_move_or_size_loop() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(g_core.main_thread_id, &info) && (info.flags & GUI_INMOVESIZE) != 0;
}

// Starts the keyboard move loop of window on the main thread and waits until it runs.
bool start_move_loop(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0);
    for (int i = 0; i < 500 && !in_move_or_size_loop(); ++i) {
        Sleep(10);
    }
    return in_move_or_size_loop();
}

// Hang 5: the body ends while the user moves the text window; the move loop takes the WM_QUIT.
void end_during_move() {
    open_window("move");
    body_printf("moving=%d", start_move_loop(g_core.text_window) ? 1 : 0);
}

// A stale copy of a posted request: the main thread is busy for longer than the first repost, so
// the worker posts its request again; every request must be carried out on its own record.
void requests_with_reposted_copies() {
    open_window("copies");
    std::thread other([] {
        static const RtString kKernel32("KERNEL32");
        static const RtString kSleep("Sleep");
        while (!g_stop) {
            invoke_external(kKernel32, kSleep, 1, 300u);  // carried out on the main thread
            Sleep(5);
        }
    });
    DWORD start = GetTickCount();
    int requests = 0;
    int answered = 0;
    while (time_left(start)) {
        // Records at changing addresses and of two kinds, so that a copy can meet a later request.
        auto* pending = new int32_t(-1);
        auto* peek = new int32_t[2]{-1, -1};
        post_request(kReqInputPending, pending);
        post_request(kReqPeek, peek);
        answered += (*pending != -1 ? 1 : 0) + (peek[0] != -1 ? 1 : 0);
        requests += 2;
        delete pending;
        delete[] peek;
    }
    g_stop = true;
    other.join();
    body_printf("all_answered=%d", answered == requests ? 1 : 0);
}

// The pause of a move loop ends when its window is destroyed during the loop (no WM_EXITSIZEMOVE
// follows); the worker prints on afterwards.
void window_destroyed_during_move() {
    open_window("destroyed");
    DialogWindowRecord dialog = {"Dialogfenster", nullptr, 50, 50, 200, 150, nullptr};
    post_request(kReqDialogWindow, &dialog);
    bool moving = start_move_loop(dialog.result);
    HWND window = dialog.result;
    DWORD main_thread = g_core.main_thread_id;
    std::thread other([window, main_thread] {
        static const RtString kUser32("USER32");
        static const RtString kDestroy("DestroyWindow");
        invoke_external(kUser32, kDestroy, 1, reinterpret_cast<uint32_t>(window));
        PostThreadMessageA(main_thread, WM_KEYDOWN, VK_ESCAPE, 0);  // the user lets go
    });
    other.join();
    print_text(RtString("after"), kPrintNewLine, false, false);
    body_printf("moving=%d", moving ? 1 : 0);
    body_printf("destroyed=%d", IsWindow(window) ? 0 : 1);
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "search_busy") {
        search_while_main_thread_busy();
    } else if (scenario == "main_calls") {
        main_thread_calls_while_worker_allocates();
    } else if (scenario == "close_search") {
        search_until_closed();
    } else if (scenario == "quit_requests") {
        requests_after_quit();
    } else if (scenario == "end_moving") {
        end_during_move();
    } else if (scenario == "copies") {
        requests_with_reposted_copies();
    } else if (scenario == "destroyed_moving") {
        window_destroyed_during_move();
    }
    body_print("end");
}
