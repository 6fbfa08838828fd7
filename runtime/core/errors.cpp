// The core's side of error and warning reporting: the log line, the boxes, the handler and the
// end of the worker, as the errorlevel and onerror switches decide.
#include "runtime/core/errors.h"

#include <windows.h>

#include <new>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"

namespace {

const char kBoxText[] = "Zeilennummer nicht verf\xFC" "gbar.";
const char kAbortCaption[] = "Programm abgebrochen!";
const char kOutOfMemoryCaption[] = "Nicht genug Speicher!";

constexpr uint32_t kErrorBox = 0x10;     // MB_ICONERROR
constexpr uint32_t kQuestionBox = 0x31;  // MB_OKCANCEL | MB_ICONEXCLAMATION
constexpr int kCancelled = 2;            // IDCANCEL

volatile LONG g_last_kind = 0;
volatile LONG g_last_code = 0;
RtString g_error_argument;
ErrorHandler g_error_handler = nullptr;

RtString begin_report(LONG kind, int32_t code, const char* argument) {
    InterlockedExchange(&g_last_kind, kind);
    InterlockedExchange(&g_last_code, code);
    if (argument != nullptr) {
        g_error_argument.assign_cstring(argument);
    } else {
        g_error_argument.clear();
    }
    return compose_message(code, argument);
}

void log_report(const char* prefix, const RtString& message) {
    if (g_switches.logfile.length == 0) {
        return;
    }
    RtString line(prefix);
    line.append(program_path());
    line.append_cstring(" (?) :");
    line.append(message);
    append_log_line(line);
}

// The box is shown by the main thread (invoke_external carries the call there); its owner is the
// text window when there is one.
int show_box(const char* caption, uint32_t type) {
    static const RtString kUser32("USER32");
    static const RtString kMessageBox("MessageBoxA");
    HWND owner = g_core.text_window;
    return invoke_external(kUser32, kMessageBox, 4, reinterpret_cast<uint32_t>(owner),
                           reinterpret_cast<uint32_t>(kBoxText), reinterpret_cast<uint32_t>(caption), type);
}

// onerror doubles as a re-entry guard: an error inside the handler does not call it again.
void call_handler(const RtString& message) {
    if (g_switches.onerror == 0 || g_error_handler == nullptr) {
        return;
    }
    g_switches.onerror = 0;
    RtValue value = value_parse_text(message);
    g_error_handler(value);
    g_switches.onerror = 1;
}

[[noreturn]] void end_after(RtString& message) {
    message.clear();
    end_worker();
}

// Appends text to a fixed buffer, cutting what does not fit; keeps it 0-terminated.
void append_fixed(char* buffer, size_t capacity, size_t* used, const char* text) {
    for (; *text != 0 && *used + 1 < capacity; ++text) {
        buffer[(*used)++] = *text;
    }
    buffer[*used] = 0;
}

// The log line of a report made without the heap (heap exhaustion, a failure at the end), put
// together in a static buffer.
void log_without_heap(const char* message) {
    if (g_switches.logfile.length == 0) {
        return;
    }
    static char module[292];
    static char path[292];
    static char line[900];
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetFullPathNameA(module, sizeof path, path, nullptr);
    size_t used = 0;
    for (const char* part : {"ERROR:\t", static_cast<const char*>(path), " (?) :", message, "\r\n"}) {
        append_fixed(line, sizeof line, &used, part);
    }
    HANDLE file = CreateFileA(g_switches.logfile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(used), &written, nullptr);
    CloseHandle(file);
}

// An error box shown without the heap (heap exhaustion, a failure at the end), by the main thread
// like every box, through a request record that is not on the heap. On the main thread a worker
// that still runs pauses meanwhile, as for every external call made there; with \p resume it goes
// on afterwards.
void show_box_without_heap(const char* caption, bool resume) {
    static ExternalCallRecord call;
    call.address = reinterpret_cast<void*>(&MessageBoxA);
    call.count = 4;
    call.arguments[0] = reinterpret_cast<uint32_t>(g_core.text_window);
    call.arguments[1] = reinterpret_cast<uint32_t>(kBoxText);
    call.arguments[2] = reinterpret_cast<uint32_t>(caption);
    call.arguments[3] = kErrorBox;
    if (GetCurrentThreadId() == g_core.main_thread_id || g_core.request_window == nullptr) {
        bool pause = g_core.worker_thread != nullptr;
        if (pause) {
            pause_worker();
        }
        carry_out_external_call(reinterpret_cast<intptr_t>(&call));
        if (pause && resume) {
            resume_worker();
        }
        return;
    }
    SendMessageA(g_core.request_window, kRequestMessage, kReqExternalCall, reinterpret_cast<LPARAM>(&call));
}

volatile LONG g_out_of_memory_entered = 0;

void out_of_memory_in_buffer(size_t) {
    fatal_out_of_memory();
}

void out_of_memory_in_new() {
    fatal_out_of_memory();
}

}  // namespace

void core_report_error(int32_t code, const char* argument) {
    RtString message = begin_report(2, code, argument);
    log_report("ERROR:\t", message);
    if (g_switches.errorlevel == -1) {
        call_handler(message);
        return;
    }
    show_box(message.c_str(), kErrorBox);
    end_after(message);
}

void core_report_warning(int32_t code, const char* argument) {
    RtString message = begin_report(1, code, argument);
    log_report("WARN:\t", message);
    int32_t level = g_switches.errorlevel;
    if (level <= 0) {
        call_handler(message);
        return;
    }
    if (level == 2) {
        show_box(message.c_str(), kErrorBox);
        end_after(message);
    }
    if (show_box(message.c_str(), kQuestionBox) == kCancelled) {
        show_box(kAbortCaption, kErrorBox);
        end_after(message);
    }
}

void fatal_out_of_memory() {
    // A second exhaustion on the way (on either thread) ends the process at once.
    if (InterlockedExchange(&g_out_of_memory_entered, 1) != 0) {
        ExitProcess(1);
    }
    log_without_heap(kOutOfMemoryCaption);
    run_end_steps(kEndOutOfMemory, false);
    show_box_without_heap(kOutOfMemoryCaption, false);
    ExitProcess(1);
}

void report_at_end(int32_t code, const char* argument) {
    static char message[800];
    size_t used = 0;
    append_fixed(message, sizeof message, &used, error_text(code));
    append_fixed(message, sizeof message, &used, argument != nullptr ? argument : "");
    InterlockedExchange(&g_last_kind, 2);
    InterlockedExchange(&g_last_code, code);
    log_without_heap(message);
    if (g_switches.errorlevel != -1) {
        show_box_without_heap(message, true);
    }
}

void install_out_of_memory_handlers() {
    rt_set_out_of_memory_handler(out_of_memory_in_buffer);
    std::set_new_handler(out_of_memory_in_new);
}

void append_log_line(const RtString& line) {
    HANDLE file = CreateFileA(g_switches.logfile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    RtString text = concat(line, "\r\n");
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.length), &written, nullptr);
    CloseHandle(file);
}

int32_t last_error_kind() {
    return InterlockedCompareExchange(&g_last_kind, 0, 0);
}

int32_t last_error_code() {
    return InterlockedCompareExchange(&g_last_code, 0, 0);
}

RtString last_error_argument() {
    return g_error_argument;
}

void set_error_handler(ErrorHandler handler) {
    g_error_handler = handler;
}
