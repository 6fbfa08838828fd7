// Entry point: start-up, the worker thread and its handshake, the message loop, the end and
// clean-up. Linked into every program of the runtime (and only there: it calls the program's
// body).
#include <windows.h>

#include "runtime/core/core_state.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/loops.h"
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

// A worker that cannot be made, or a main thread handle that cannot be had, is a start-up failure
// like a class that cannot be registered: exit code 1 (the suspended worker never ran).
void start_worker() {
    g_core.worker_thread = CreateThread(nullptr, 0, worker_main, nullptr, CREATE_SUSPENDED, &g_core.worker_thread_id);
    HANDLE process = GetCurrentProcess();
    if (g_core.worker_thread == nullptr ||
        !DuplicateHandle(process, GetCurrentThread(), process, &g_core.main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS) ||
        ResumeThread(g_core.worker_thread) == static_cast<DWORD>(-1)) {
        fail_start_up();
    }
}

// After the main loop the worker is waited for, while the requests it issues meanwhile are still
// carried out, so that no end leaves it waiting for ever. With fastmode on the end does not wait
// for the body to finish, but it never cleans up under it: the worker is stopped at its next safe
// point (within half a second), and when it does not stop the process ends as when the text
// window is closed.
void wait_for_worker(int exit_code) {
    if (g_switches.fastmode.load() == 0) {
        carry_out_requests_until_worker_ends();
    } else if (!stop_worker()) {
        terminate_program(static_cast<UINT>(exit_code));
    }
    CloseHandle(g_core.worker_thread);
    CloseHandle(g_core.main_thread);
    g_core.worker_thread = nullptr;
    g_core.main_thread = nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    start_runtime(instance);
    start_worker();
    int exit_code = run_main_loop();
    wait_for_worker(exit_code);
    clean_up_runtime();
    return exit_code;
}
