// Test body for set_switch in a real process of the runtime: the worker sets the switches while
// the main thread runs its message loop. A message hook on the main thread records which request
// kinds the main thread fetches, so the test sees the posted fast-loop requests arrive there.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/program/program_body.h"
#include "runtime/core/requests.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "tests/support/body_output.h"

namespace {

constexpr int kMaxSeen = 64;
std::atomic<uint32_t> g_seen[kMaxSeen];
std::atomic<int> g_seen_count{0};

// Runs on the main thread for every message it fetches, in every one of its loops.
LRESULT CALLBACK record_fetched(int code, WPARAM wparam, LPARAM lparam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lparam);
    if (code == HC_ACTION && wparam == PM_REMOVE && msg->hwnd == nullptr && msg->message == kRequestMessage) {
        int i = g_seen_count.load();
        if (i < kMaxSeen) {
            g_seen[i] = static_cast<uint32_t>(msg->wParam);
            g_seen_count = i + 1;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The fast-loop kinds that the main thread has fetched so far, in order, as "A015,A018,...".
std::string fetched_kinds() {
    std::string text;
    for (int i = 0; i < g_seen_count.load(); ++i) {
        uint32_t kind = g_seen[i].load();
        if (kind < kReqEnterFastLoop || kind > kReqCloseOpenLoop) {
            continue;
        }
        char hex[8];
        wsprintfA(hex, "%X", kind);
        text += (text.empty() ? "" : ",") + std::string(hex);
    }
    return text;
}

// Waits until the main thread has fetched count fast-loop requests (or a few seconds passed).
void wait_for_fetched(size_t count) {
    for (int i = 0; i < 500; ++i) {
        std::string kinds = fetched_kinds();
        size_t n = kinds.empty() ? 0 : 1 + static_cast<size_t>(std::count(kinds.begin(), kinds.end(), ','));
        if (n >= count) {
            return;
        }
        Sleep(10);
    }
}

RtValue set_int(const char* name, int32_t value) {
    RtValue argument = value_from_int(value, &value);
    RtValue result;
    return set_switch(result, RtString(name), 1, &argument);
}

void print_state(const char* step) {
    body_printf("%s_errorlevel=%d", step, g_switches.errorlevel);
    body_printf("%s_fastmode=%d", step, g_switches.fastmode.load());
}

void errorlevel_and_fastmode(bool end_in_fastmode) {
    set_int("errorlevel", -1);
    RtValue previous = set_int("ErrorLevel", -2);
    body_printf("previous=%d", previous.int_value);
    print_state("minus2");
    wait_for_fetched(1);
    body_printf("kinds_on=%s", fetched_kinds().c_str());
    if (end_in_fastmode) {
        return;
    }
    set_int("errorlevel", -1);
    print_state("repeat");
    wait_for_fetched(3);
    body_printf("kinds_off=%s", fetched_kinds().c_str());
    set_int("fastmode", 1);
    set_int("errorlevel", -2);
    print_state("minus2_in_fastmode");
    set_int("fastmode", 0);
    wait_for_fetched(6);
    body_printf("kinds_all=%s", fetched_kinds().c_str());
}

void unknown_name() {
    set_int("errorlevel", -1);
    int32_t before = g_switches.errorlevel;
    RtValue result = set_int("foo", 3);
    body_printf("kind=%d", result.kind);
    body_printf("text=[%s]", result.text.c_str());
    body_printf("int=%d", result.int_value);
    body_printf("code=%d", last_error_code());
    body_printf("argument=%s", last_error_argument().c_str());
    body_printf("errorlevel_unchanged=%d", g_switches.errorlevel == before ? 1 : 0);
}

}  // namespace

void program_body() {
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, record_fetched, nullptr, g_core.main_thread_id);
    body_printf("hook=%d", hook != nullptr ? 1 : 0);
    std::string scenario = body_scenario();
    if (scenario == "fastmode") {
        errorlevel_and_fastmode(false);
    } else if (scenario == "end_in_fastmode") {
        errorlevel_and_fastmode(true);
    } else if (scenario == "unknown") {
        unknown_name();
    }
    UnhookWindowsHookEx(hook);
    body_print("end");
}
