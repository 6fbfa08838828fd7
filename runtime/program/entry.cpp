// Entry point: start-up, the worker thread and its handshake, the message loop, clean-up. Linked
// into every program of the runtime (and only there: it calls the program's body).
#include <windows.h>

#include "runtime/core/core_state.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/program/startup.h"
#include "runtime/settings/switch_vars.h"

namespace {

DWORD WINAPI worker_main(void*) {
    // The main thread may not have a message queue yet: post until the post succeeds.
    while (!PostThreadMessageA(g_core.main_thread_id, WM_NULL, 0, 0)) {
        Sleep(0);
    }
    AttachThreadInput(GetCurrentThreadId(), g_core.main_thread_id, TRUE);
    program_body();
    ask_main_thread_to_quit();
    return 0;
}

void start_worker() {
    g_core.worker_thread = CreateThread(nullptr, 0, worker_main, nullptr, CREATE_SUSPENDED, &g_core.worker_thread_id);
    HANDLE process = GetCurrentProcess();
    DuplicateHandle(process, GetCurrentThread(), process, &g_core.main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ResumeThread(g_core.worker_thread);
}

// The main loop, until WM_QUIT. Then the worker is waited for (unless fastmode is on) while
// requests it issues meanwhile are still carried out, so that no end leaves it waiting for ever.
WPARAM run_message_loop() {
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (is_request_message(msg)) {
            dispatch_request(msg);
            repost_swallowed_quit();
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
        // A modal loop inside the dispatch (moving or sizing a window) may have taken the WM_QUIT.
        repost_swallowed_quit();
    }
    note_quit_taken();
    if (g_switches.fastmode.load() == 0) {
        carry_out_requests_until_ended(g_core.worker_thread);
    }
    CloseHandle(g_core.worker_thread);
    CloseHandle(g_core.main_thread);
    g_core.worker_thread = nullptr;
    g_core.main_thread = nullptr;
    return msg.wParam;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    start_runtime(instance);
    start_worker();
    WPARAM exit_code = run_message_loop();
    clean_up_runtime();
    return static_cast<int>(exit_code);
}
