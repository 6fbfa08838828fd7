// The core's start-up and clean-up, and the end of the process from the main thread.
#include "runtime/core/lifecycle.h"

#include <ole2.h>
#include <stdio.h>

#include <atomic>

#include "runtime/core/command_line.h"
#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"

namespace {

void (*g_heapless_exit_step)() = nullptr;

constexpr int kMaxEndSteps = 4;
EndStep g_end_steps[kMaxEndSteps] = {};
int g_end_step_count = 0;  // written at start-up, or by the body before any end

std::atomic<bool> g_quit_asked{false};
std::atomic<int> g_asked_exit_code{0};
bool g_quit_taken = false;  // main thread only
int g_taken_exit_code = 0;

// Set (with the manual-reset event, made at start-up and kept for the process's life) when the
// end of the process asks the worker to end: the text window going, the end with fastmode on,
// heap exhaustion.
std::atomic<bool> g_worker_end_asked{false};
std::atomic<DWORD> g_worker_end_asked_at{0};
HANDLE g_worker_end = nullptr;

// How long the end of the process waits for the worker to end itself, and then for the C
// runtime's streams to be flushed.
constexpr DWORD kWorkerEndMs = 500;
constexpr DWORD kFlushMs = 500;

DWORD WINAPI flush_streams(void*) {
    _flushall();
    return 0;
}

// Splits a private copy of the command line: writing into the buffer that GetCommandLineA
// returns would change what every later caller reads.
void read_command_line() {
    g_core.command_line = split_command_line(GetCommandLineA());
    g_core.token_count = static_cast<int32_t>(g_core.command_line.size());
    g_core.parameter_count = g_core.token_count - 1;
}

void close_core_handles() {
    if (g_core.request_done_event != nullptr) {
        CloseHandle(g_core.request_done_event);
        g_core.request_done_event = nullptr;
    }
    if (g_core.message_event != nullptr) {
        CloseHandle(g_core.message_event);
        g_core.message_event = nullptr;
    }
}

}  // namespace

void init_core(HINSTANCE instance) {
    g_core.instance = instance;
    g_core.main_thread_id = GetCurrentThreadId();
    init_core_switches();
    install_report_routines(core_report_error, core_report_warning);
    install_out_of_memory_handlers();
    g_core.request_done_event = made_at_start_up(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    g_worker_end = made_at_start_up(CreateEventA(nullptr, TRUE, FALSE, nullptr));
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
        fail_start_up();
    }
    g_core.request_window = CreateWindowExA(0, "CW", "CW", 0, 0, 0, 0, 0, nullptr, nullptr, g_core.instance, nullptr);
    if (g_core.request_window == nullptr) {
        fail_start_up();
    }
    g_core.accelerator_count = 0;
    g_core.accelerators = nullptr;
    g_core.tooltip_window = nullptr;
    register_core_requests();
}

void exit_core() {
    close_core_handles();
    OleUninitialize();
    g_core.command_line.clear();
    g_core.token_count = 0;
    if (g_core.accelerator_count != 0) {
        DestroyAcceleratorTable(g_core.accelerators);
        g_core.accelerators = nullptr;
        g_core.accelerator_count = 0;
    }
}

void install_heapless_exit_step(void (*step)()) {
    g_heapless_exit_step = step;
}

void install_end_step(EndStep step) {
    for (int i = 0; i < g_end_step_count; ++i) {
        if (g_end_steps[i] == step) {
            return;
        }
    }
    if (g_end_step_count < kMaxEndSteps) {
        g_end_steps[g_end_step_count++] = step;
    }
}

void run_end_steps(EndWay way, bool flushed) {
    for (int i = 0; i < g_end_step_count; ++i) {
        g_end_steps[i](way, flushed);
    }
}

// Before the worker runs nothing needs an orderly end.
void fail_start_up() {
    ExitProcess(1);
}

HANDLE made_at_start_up(HANDLE handle) {
    if (handle == nullptr) {
        fail_start_up();
    }
    return handle;
}

void note_quit_asked(int exit_code) {
    g_asked_exit_code = exit_code;
    g_quit_asked = true;
}

void note_quit_taken(int exit_code) {
    if (!g_quit_taken) {
        g_quit_taken = true;
        g_taken_exit_code = exit_code;
    }
}

bool quit_seen() {
    return g_quit_taken || g_quit_asked.load();
}

int quit_exit_code() {
    return g_quit_taken ? g_taken_exit_code : g_asked_exit_code.load();
}

void repost_swallowed_quit() {
    if (g_quit_taken || !g_quit_asked.load()) {
        return;
    }
    MSG queued;
    if (!PeekMessageA(&queued, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE | PM_NOYIELD)) {
        PostQuitMessage(g_asked_exit_code.load());
    }
}

void ask_worker_to_end() {
    if (!g_worker_end_asked.exchange(true)) {
        g_worker_end_asked_at = GetTickCount();
    }
    SetEvent(g_worker_end);
}

bool worker_end_asked() {
    return g_worker_end_asked.load();
}

void end_worker_if_asked() {
    if (g_worker_end_asked.load() && GetCurrentThreadId() == g_core.worker_thread_id) {
        ExitThread(0);
    }
}

HANDLE worker_end_event() {
    return g_worker_end;
}

// The worker ends itself at its next print, request, pause or external call; one busy in its own
// computation, or waiting in a sent request, is not waited for longer than kWorkerEndMs after the
// end was first asked for.
bool stop_worker() {
    ask_worker_to_end();
    HANDLE worker = g_core.worker_thread;
    if (worker == nullptr) {
        return true;
    }
    if (GetCurrentThreadId() != g_core.worker_thread_id) {
        DWORD waited = GetTickCount() - g_worker_end_asked_at.load();
        WaitForSingleObject(worker, waited < kWorkerEndMs ? kWorkerEndMs - waited : 0);
    }
    return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
}

// No thread is stopped at an arbitrary point: under Wine a thread killed so may die holding a lock
// of the system's own (the process heap's, the handle table's), and the next call that needs it
// never returns. The worker is stopped first (stop_worker). What the program wrote through the C
// runtime's streams (the file channels) is flushed, on a thread of its own so that a stream the
// worker holds cannot stop the end; the modules' end steps then report what could not be written
// and remove what must go. Then the process ends with all its threads at once:
// ExitProcess would first kill the other threads wherever they are and then run the libraries'
// detach routines, which may wait for a lock that one of them held.
void terminate_program(UINT exit_code) {
    stop_worker();
    HANDLE flusher = CreateThread(nullptr, 0, flush_streams, nullptr, 0, nullptr);
    bool flushed = flusher != nullptr && WaitForSingleObject(flusher, kFlushMs) == WAIT_OBJECT_0;
    run_end_steps(kEndProcessEnds, flushed);
    if (g_heapless_exit_step != nullptr) {
        g_heapless_exit_step();
    }
    TerminateProcess(GetCurrentProcess(), exit_code);
    ExitProcess(exit_code);
}
