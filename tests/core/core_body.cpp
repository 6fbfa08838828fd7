// Test body for the start-up, the threads and the ways the program ends. The scenario comes from
// RT_SCENARIO; results are written to the standard output as key=value lines.
#include <windows.h>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/switch_vars.h"
#include "tests/support/body_output.h"

namespace {

void print_parameters() {
    int32_t count = parameter_count();
    body_printf("count=%d", count);
    for (int32_t i = 0; i <= count; ++i) {
        body_printf("param%d=[%s]", i, parameter_string(i).c_str());
    }
    body_printf("param-1=[%s]", parameter_string(-1).c_str());
}

void print_switches() {
    body_printf("errorlevel=%d", g_switches.errorlevel);
    body_printf("decimals=%d", g_switches.decimals);
    body_printf("numwidth=%d", g_switches.numwidth);
    body_printf("strwidth=%d", g_switches.strwidth);
    body_printf("fastmode=%d", g_switches.fastmode.load());
    body_printf("onerror=%d", g_switches.onerror);
    body_printf("truecolor=%d", g_switches.truecolor);
    body_printf("randseed_last=%d", g_random.last_seed);
    body_printf("random_index=%d", g_random.index);
    body_printf("logfile=[%s]", g_switches.logfile.c_str());
    body_printf("filemode=%d", g_switches.filemode);
    body_printf("regex=%d", g_switches.regex);
    body_printf("messagemode=%d", g_switches.messagemode.load());
    body_printf("autopaint=%d", g_switches.autopaint.load());
    body_printf("pdc=%d", g_switches.pdc);
    body_printf("printres=%d", g_switches.printres);
    body_printf("ogldepth=%d", g_switches.ogldepth);
    body_printf("listdel=[%s]", g_switches.listdel.c_str());
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "args") {
        print_parameters();
    } else if (scenario == "switches") {
        print_switches();
    } else if (scenario == "threads") {
        body_printf("on_worker=%d", GetCurrentThreadId() != g_core.main_thread_id ? 1 : 0);
        // The main thread handle is a real handle of that thread, not the pseudo handle.
        body_printf("main_handle=%d", GetThreadId(g_core.main_thread) == g_core.main_thread_id ? 1 : 0);
        body_printf("request_window=%d", IsWindow(g_core.request_window) ? 1 : 0);
        char class_name[16] = {};
        GetClassNameA(g_core.request_window, class_name, sizeof class_name);
        body_printf("request_class=%s", class_name);
        body_printf("request_thread=%d",
                    GetWindowThreadProcessId(g_core.request_window, nullptr) == g_core.main_thread_id ? 1 : 0);
    } else if (scenario == "param_missing") {
        g_switches.errorlevel = -1;
        RtString p = parameter_string(parameter_count() + 1);
        body_printf("missing=[%s]", p.c_str());
    } else if (scenario == "end_worker") {
        body_print("before");
        end_worker();
        body_print("after");  // never reached
    } else if (scenario == "quit_code") {
        PostThreadMessageA(g_core.main_thread_id, WM_QUIT, 7, 0);
        Sleep(200);
    } else if (scenario == "joins_worker") {
        // Without fastmode the main thread waits for the worker after WM_QUIT.
        PostThreadMessageA(g_core.main_thread_id, WM_QUIT, 0, 0);
        Sleep(500);
        body_print("finished");
    } else if (scenario == "failed_wait") {
        // The request-done event is gone: every wait for it fails at once.
        CloseHandle(g_core.request_done_event);
        int filled = 0;
        for (int i = 0; i < 20; ++i) {
            int32_t pending = -1;
            post_request(kReqInputPending, &pending);
            filled += pending != -1 ? 1 : 0;
        }
        body_printf("filled=%d", filled);
    } else if (scenario == "fastmode_no_wait") {
        // With fastmode on the main thread does not wait: the process ends while the worker sleeps.
        // Printed first: the process may end before a line after the post is written.
        g_switches.fastmode = 1;
        body_print("posted");
        PostThreadMessageA(g_core.main_thread_id, WM_QUIT, 0, 0);
        Sleep(INFINITE);
    }
    body_print("end");
}
