// The core's start-up and clean-up, and the end of the process from the main thread.
#include "runtime/core/lifecycle.h"

#include <ole2.h>

#include "runtime/core/command_line.h"
#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"

namespace {

void (*g_heapless_exit_step)() = nullptr;

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
    g_core.request_window = CreateWindowExA(0, "CW", "CW", 0, 0, 0, 0, 0, nullptr, nullptr, g_core.instance, nullptr);
    if (g_core.request_window == nullptr) {
        ExitProcess(1);
    }
    g_core.accelerator_count = 0;
    g_core.accelerators = nullptr;
    g_core.tooltip_window = nullptr;
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

void terminate_program() {
    TerminateThread(g_core.worker_thread, 0);
    CloseHandle(g_core.worker_thread);
    CloseHandle(g_core.main_thread);
    g_core.worker_thread = nullptr;
    g_core.main_thread = nullptr;
    // The worker may have died holding the C runtime's heap lock: from here on nothing may
    // allocate or free. Only handles are closed; the process end releases the memory.
    if (g_heapless_exit_step != nullptr) {
        g_heapless_exit_step();
    }
    close_core_handles();
    ExitProcess(0);
}
