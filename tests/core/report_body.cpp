// Test body for error and warning reports: boxes, log lines, errorlevels and the handler. The
// scenario comes from RT_SCENARIO, the log file name from RT_LOGFILE.
#include <windows.h>

#include <string>
#include <thread>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/values/string_functions.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/text_output.h"
#include "tests/support/body_output.h"

namespace {

int g_handler_calls = 0;
std::string g_handler_text;

void recording_handler(const RtValue& message) {
    ++g_handler_calls;
    g_handler_text = message.text.c_str();
    report_error(205, nullptr);  // a report inside the handler must not call it again
}

// Exhausts the heap on the main thread, in its WM_INITDIALOG.
INT_PTR CALLBACK exhausting_dialog_proc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        body_printf("after=%d", string_spaces(0x7FFFFFF0).length);
    }
    return message == WM_INITDIALOG;
}

void use_logfile() {
    char name[MAX_PATH] = {};
    GetEnvironmentVariableA("RT_LOGFILE", name, sizeof name);
    g_switches.logfile.assign_cstring(name);
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    use_logfile();
    if (scenario == "warning") {
        report_warning(209, "C:\\Bilder\\Stra\xDF" "e.jpg");
        body_print("returned");
    } else if (scenario == "silent_levels") {
        g_switches.errorlevel = -1;
        report_error(208, nullptr);
        body_print("error_returned");
        report_warning(209, "x.jpg");
        body_print("warning_returned");
        body_printf("kind=%d code=%d argument=[%s]", last_error_kind(), last_error_code(),
                    last_error_argument().c_str());
        g_switches.errorlevel = 0;
        report_warning(209, "y.jpg");
        body_print("warning_at_0_returned");
        g_switches.errorlevel = -5;
        report_warning(209, "z.jpg");
        body_print("warning_below_0_returned");
    } else if (scenario == "error_at_0") {
        g_switches.errorlevel = 0;
        report_error(210, nullptr);
        body_print("after");
    } else if (scenario == "warning_at_2") {
        g_switches.errorlevel = 2;
        report_warning(209, "w.jpg");
        body_print("after");
    } else if (scenario == "parameter_missing_at_0") {
        g_switches.errorlevel = 0;
        parameter_string(parameter_count() + 1);
        body_print("after");
    } else if (scenario == "out_of_memory") {
        // More than a 32-bit process can ever get in one piece.
        RtString huge = string_spaces(0x7FFFFFF0);
        body_printf("after=%d", huge.length);
    } else if (scenario == "out_of_memory_new") {
        void* huge = ::operator new(static_cast<size_t>(0x7FFFFFF0));
        body_printf("after=%p", huge);
    } else if (scenario == "out_of_memory_main") {
        // The worker prints on meanwhile: the end must stop it before the process ends.
        static OwnDialogRecord own = {{}, exhausting_dialog_proc};
        post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
        for (;;) {
            print_text(RtString("x"), kPrintStay, false, false);
        }
    } else if (scenario == "log_race") {
        // The worker and a second thread report at once, each with its own argument.
        g_switches.errorlevel = -1;
        auto report = [](const char* tag) {
            for (int i = 0; i < 200; ++i) {
                report_warning(209, (tag + std::to_string(i)).c_str());
            }
        };
        std::thread other(report, "b");
        report("a");
        other.join();
    } else if (scenario == "handler") {
        g_switches.errorlevel = -1;
        set_error_handler(recording_handler);
        report_error(999, "nur das Argument");
        body_printf("calls_while_off=%d", g_handler_calls);
        g_switches.onerror = 1;
        report_error(999, "nur das Argument");
        body_printf("calls=%d", g_handler_calls);
        body_printf("text=[%s]", g_handler_text.c_str());
        body_printf("onerror_after=%d", g_switches.onerror);
        report_warning(209, "v.jpg");
        body_printf("calls_after_warning=%d", g_handler_calls);
    }
    body_print("end");
}
