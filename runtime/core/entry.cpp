// Entry point: the start-up and clean-up order, the worker thread and its handshake, the message
// loop, and the end of the process from the main thread. Linked into every program of the runtime.
#include <windows.h>
#include <ole2.h>

#include <cstring>

#include "runtime/core/command_line.h"
#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/program_body.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/frames.h"

namespace {

// Splits a private copy of the command line: writing into the buffer that GetCommandLineA
// returns would change what every later caller reads.
void read_command_line() {
    g_core.command_line = split_command_line(GetCommandLineA());
    g_core.token_count = static_cast<int32_t>(g_core.command_line.size());
    g_core.parameter_count = g_core.token_count - 1;
}

void init_core() {
    g_core.main_thread_id = GetCurrentThreadId();
    init_core_switches();
    g_core.request_done_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_core.command_line.clear();
    g_core.token_count = 0;
    g_core.parameter_count = -1;
    OleInitialize(nullptr);
    read_command_line();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = request_window_proc;
    wc.hInstance = g_core.instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = "CW";
    if (RegisterClassA(&wc) == 0) {
        ExitProcess(1);
    }
    g_core.request_window =
        CreateWindowExA(0, "CW", "CW", 0, 0, 0, 0, 0, nullptr, nullptr, g_core.instance, nullptr);
    if (g_core.request_window == nullptr) {
        ExitProcess(1);
    }
    g_core.accelerator_count = 0;
    g_core.accelerators = nullptr;
    g_core.tooltip_window = nullptr;
}

void exit_core() {
    if (g_core.request_done_event != nullptr) {
        CloseHandle(g_core.request_done_event);
        g_core.request_done_event = nullptr;
    }
    if (g_core.message_event != nullptr) {
        CloseHandle(g_core.message_event);
        g_core.message_event = nullptr;
    }
    OleUninitialize();
    g_core.command_line.clear();
    g_core.token_count = 0;
    if (g_core.accelerator_count != 0) {
        DestroyAcceleratorTable(g_core.accelerators);
        g_core.accelerators = nullptr;
        g_core.accelerator_count = 0;
    }
    release_frames();
}

// Start-up stages after the core, in order. Each subsystem adds its step here when it lands.
void init_subsystems() {
    // string functions' locale, the window subsystem and the file-search state follow here
}

// Clean-up of the subsystems, in reverse order of their start-up.
void exit_subsystems() {
    // file search, then the window subsystem
}

void clean_up() {
    exit_subsystems();
    exit_core();
}

DWORD WINAPI worker_main(void*) {
    // The main thread may not have a message queue yet: post until the post succeeds.
    while (!PostThreadMessageA(g_core.main_thread_id, WM_NULL, 0, 0)) {
        Sleep(0);
    }
    AttachThreadInput(GetCurrentThreadId(), g_core.main_thread_id, TRUE);
    program_body();
    PostThreadMessageA(g_core.main_thread_id, WM_QUIT, 0, 0);
    return 0;
}

void start_worker() {
    g_core.worker_thread = CreateThread(nullptr, 0, worker_main, nullptr, CREATE_SUSPENDED, &g_core.worker_thread_id);
    HANDLE process = GetCurrentProcess();
    DuplicateHandle(process, GetCurrentThread(), process, &g_core.main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ResumeThread(g_core.worker_thread);
}

WPARAM run_message_loop() {
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == kRequestMessage && msg.hwnd == nullptr) {
            dispatch_request(msg);
            continue;
        }
        bool handled = TranslateAcceleratorA(g_core.text_window, g_core.accelerators, &msg) != 0 ||
                       (g_core.current_dialog != nullptr && IsDialogMessageA(g_core.current_dialog, &msg));
        if (!handled) {
            relay_tooltip_message(&msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        store_current_event(msg.message, msg.hwnd, msg.wParam, msg.lParam);
        if (g_core.message_event != nullptr) {
            PulseEvent(g_core.message_event);
        }
    }
    if (g_switches.fastmode.load() == 0) {
        WaitForSingleObject(g_core.worker_thread, INFINITE);
    }
    CloseHandle(g_core.worker_thread);
    CloseHandle(g_core.main_thread);
    g_core.worker_thread = nullptr;
    g_core.main_thread = nullptr;
    return msg.wParam;
}

}  // namespace

void terminate_program() {
    TerminateThread(g_core.worker_thread, 0);
    CloseHandle(g_core.worker_thread);
    CloseHandle(g_core.main_thread);
    g_core.worker_thread = nullptr;
    g_core.main_thread = nullptr;
    clean_up();
    ExitProcess(0);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_core.instance = instance;
    init_core();
    init_subsystems();
    start_worker();
    WPARAM exit_code = run_message_loop();
    clean_up();
    return static_cast<int>(exit_code);
}
