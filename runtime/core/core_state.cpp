#include "runtime/core/core_state.h"

#include "runtime/core/errors.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"

RtCoreState g_core;

namespace {

constexpr UINT kTooltipRelayEvent = 0x407;  // TTM_RELAYEVENT

}  // namespace

void relay_tooltip_message(MSG* msg) {
    if (g_core.tooltip_window != nullptr && msg->message == WM_MOUSEMOVE) {
        SendMessageA(g_core.tooltip_window, kTooltipRelayEvent, 0, reinterpret_cast<LPARAM>(msg));
    }
}

void store_current_event(UINT message, HWND window, WPARAM wparam, LPARAM lparam) {
    InterlockedExchange(&g_core.event_message, static_cast<LONG>(message));
    InterlockedExchange(&g_core.event_window, static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
    InterlockedExchange(&g_core.event_wparam, static_cast<LONG>(wparam));
    InterlockedExchange(&g_core.event_lparam, static_cast<LONG>(lparam));
}

RtString parameter_string(int32_t n) {
    if (n > g_core.parameter_count) {
        report_error(208, nullptr);
        return RtString();
    }
    if (n < 0) {
        return RtString();
    }
    if (n == 0) {
        return program_path();
    }
    return g_core.command_line[static_cast<size_t>(n)];
}

RtString program_path() {
    char module[292] = {};
    char full[292] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetFullPathNameA(module, sizeof full, full, nullptr);
    return RtString(full);
}

int32_t parameter_count() {
    return g_core.parameter_count;
}

void ask_main_thread_to_quit(int exit_code) {
    // With fastmode on the main thread takes only request messages: wake its fast loop, which then
    // sees the end (the loops read it from the state noted here, whatever happens to the posts).
    if (g_switches.fastmode.load() != 0) {
        post_request_nowait(kReqCloseOpenLoop);
        post_request_nowait(kReqLeaveFastLoop);
    }
    // Noted before the post: a modal loop may take the WM_QUIT at once.
    note_quit_asked(exit_code);
    PostThreadMessageA(g_core.main_thread_id, WM_QUIT, static_cast<WPARAM>(exit_code), 0);
}

void end_worker(int exit_code) {
    if (GetCurrentThreadId() != g_core.worker_thread_id) {
        // A fatal report on another thread cannot end the worker there: end the program instead.
        terminate_program(static_cast<UINT>(exit_code));
    }
    run_end_steps(kEndWorkerEnds, false);
    ask_main_thread_to_quit(exit_code);
    ExitThread(0);
}
