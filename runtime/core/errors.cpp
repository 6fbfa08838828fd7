// The core's side of error and warning reporting: the log line, the boxes, the handler and the
// end of the worker, as the errorlevel and onerror switches decide.
#include "runtime/core/errors.h"

#include <windows.h>

#include <new>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
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

// One report at a time stores its kind, code and argument: reports come from both threads. Nothing
// inside the lock allocates or waits for the other thread. Taking it gives up after
// kReportLockMs, so that a thread that ended inside it (heap exhaustion while copying the
// argument) cannot stop every later report.
CRITICAL_SECTION g_report_lock;
struct ReportLockInit {
    ReportLockInit() { InitializeCriticalSection(&g_report_lock); }
} g_report_lock_init;
constexpr DWORD kReportLockMs = 2000;

class ReportLock {
  public:
    ReportLock() {
        DWORD start = GetTickCount();
        while (!(held_ = TryEnterCriticalSection(&g_report_lock) != 0) && GetTickCount() - start < kReportLockMs) {
            Sleep(1);
        }
    }
    ~ReportLock() {
        if (held_) {
            LeaveCriticalSection(&g_report_lock);
        }
    }
    ReportLock(const ReportLock&) = delete;
    ReportLock& operator=(const ReportLock&) = delete;

  private:
    bool held_ = false;
};

// Exchanges the buffers of two strings: no allocation.
void swap_strings(RtString& a, RtString& b) {
    char* data = a.data;
    int32_t length = a.length;
    a.data = b.data;
    a.length = b.length;
    b.data = data;
    b.length = length;
}

// Programs appending to one log take turns: each holds a lock on one byte far beyond any end of
// the file while it appends. It waits for its turn for kLogTurnMs at most, then appends anyway.
constexpr DWORD kLogTurnMs = 1000;

bool take_log_turn(HANDLE file, OVERLAPPED* turn) {
    turn->OffsetHigh = 0x7FFFFFFF;
    DWORD start = GetTickCount();
    for (;;) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, turn)) {
            return true;
        }
        if (GetTickCount() - start >= kLogTurnMs) {
            return false;
        }
        Sleep(1);
    }
}

bool write_all(HANDLE file, const char* bytes, size_t count) {
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

// Appends count bytes to the log file named by the logfile switch, whole or not at all: a write
// that fails part way (a full disk) is cut off again. The file is shared, so that another program
// (or a reader) may have it open meanwhile. Touches no heap.
void append_log_bytes(const char* bytes, size_t count) {
    HANDLE file = CreateFileA(g_switches.logfile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    OVERLAPPED turn = {};
    bool taken = take_log_turn(file, &turn);
    LARGE_INTEGER zero = {};
    LARGE_INTEGER end = {};
    if (SetFilePointerEx(file, zero, &end, FILE_END) && !write_all(file, bytes, count)) {
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    if (taken) {
        UnlockFileEx(file, 0, 1, 0, &turn);
    }
    CloseHandle(file);
}

// The log line of a report: prefix, the program's path, " (?) :", the message, CR LF.
RtString log_line(const char* prefix, const RtString& message) {
    RtString line(prefix);
    line.append(program_path());
    line.append_cstring(" (?) :");
    line.append(message);
    line.append_cstring("\r\n");
    return line;
}

// Stores the report's kind, code and argument and writes its log line, as one step. The strings
// are made before: the old argument is freed after it.
RtString begin_report(LONG kind, int32_t code, const char* argument, const char* log_prefix) {
    RtString message = compose_message(code, argument);
    RtString new_argument(argument);
    RtString line = g_switches.logfile.length != 0 ? log_line(log_prefix, message) : RtString();
    ReportLock lock;
    InterlockedExchange(&g_last_kind, kind);
    InterlockedExchange(&g_last_code, code);
    swap_strings(g_error_argument, new_argument);
    if (line.length != 0) {
        append_log_bytes(line.data, static_cast<size_t>(line.length));
    }
    return message;
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
    append_log_bytes(line, used);
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
    RtString message = begin_report(2, code, argument, "ERROR:\t");
    if (g_switches.errorlevel == -1) {
        call_handler(message);
        return;
    }
    show_box(message.c_str(), kErrorBox);
    end_after(message);
}

void core_report_warning(int32_t code, const char* argument) {
    RtString message = begin_report(1, code, argument, "WARN:\t");
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

// The end takes the road of every other end, with code 1: on the worker as after a fatal report
// (the main thread ends its loops, then cleans up), on any other thread as when the text window is
// closed (the worker is stopped at its next safe point first). A second exhaustion on the way, on
// either thread, shows no second box.
void fatal_out_of_memory() {
    if (InterlockedExchange(&g_out_of_memory_entered, 1) == 0) {
        log_without_heap(kOutOfMemoryCaption);
        show_box_without_heap(kOutOfMemoryCaption, false);
    }
    end_worker(1);
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
    RtString text = concat(line, "\r\n");
    append_log_bytes(text.data, static_cast<size_t>(text.length));
}

int32_t last_error_kind() {
    return InterlockedCompareExchange(&g_last_kind, 0, 0);
}

int32_t last_error_code() {
    return InterlockedCompareExchange(&g_last_code, 0, 0);
}

RtString last_error_argument() {
    ReportLock lock;
    return g_error_argument;
}

void set_error_handler(ErrorHandler handler) {
    g_error_handler = handler;
}
