/// \file
/// Runtime core state: the process-wide handles and fields of the two threads, owned by the main
/// thread from start-up to clean-up, and the accessors the program body and other modules use.
/// The body reads the command line here (parameter_string(), parameter_count()); the fields are
/// set by the runtime (see \ref threads) and read, never written, by a program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/values/rt_string.h"

/// The process-wide handles and fields of the two threads.
struct RtCoreState {
    /// The program's module, for classes, windows and resources.
    HINSTANCE instance = nullptr;
    /// The main thread, target of posted requests and of WM_QUIT.
    DWORD main_thread_id = 0;
    /// The hidden request window (class "CW"), target of sent requests.
    HWND request_window = nullptr;
    /// The worker thread, which runs program_body().
    HANDLE worker_thread = nullptr;
    /// The worker thread's id.
    DWORD worker_thread_id = 0;
    /// A real handle of the main thread, for a program that needs one (the runtime itself never
    /// suspends a thread).
    HANDLE main_thread = nullptr;
    /// Set by the main thread when a posted request is done.
    HANDLE request_done_event = nullptr;
    /// Set after every ordinary message (auto-reset: a wait takes it).
    HANDLE message_event = nullptr;
    /// The last ordinary message's number; each of the four event fields is written with an
    /// interlocked exchange.
    volatile LONG event_message = 0;
    /// The last ordinary message's window.
    volatile LONG event_window = 0;
    /// The last ordinary message's wParam.
    volatile LONG event_wparam = 0;
    /// The last ordinary message's lParam.
    volatile LONG event_lparam = 0;
    /// The command line split into tokens; token 0 is the program as typed.
    std::vector<RtString> command_line;
    /// The number of tokens.
    int32_t token_count = 0;
    /// The tokens after the program's own (token count - 1).
    int32_t parameter_count = -1;
    /// The text window's accelerators, built by requests.
    HACCEL accelerators = nullptr;
    /// How many accelerators the table holds.
    int32_t accelerator_count = 0;
    /// Made by the first tooltip request.
    HWND tooltip_window = nullptr;
    /// The modeless dialog that gets IsDialogMessage treatment.
    HWND current_dialog = nullptr;
    /// The text window, null until it is made.
    HWND text_window = nullptr;
};

/// The core state of the program; lives for the whole run.
extern RtCoreState g_core;

/// Command-line parameter \p n: 0 is the program's full path (not as typed), 1 and up the tokens
/// after it. The command line is split at blanks (not at tabs); double quotes group a token and
/// are removed ("" is an empty parameter); there is no escape character. A number above
/// parameter_count() is error 208 "Kommandozeilenparameter fehlt!" (then ""); below 0 gives "".
RtString parameter_string(int32_t n);
/// The number of parameters after the program's own: 0 for a program started without any.
int32_t parameter_count();
/// The full path of the program's module (GetModuleFileNameA, then GetFullPathNameA; at most
/// 291 bytes). Any thread.
RtString program_path();

/// Main thread: relays WM_MOUSEMOVE in \p msg to the tooltip window, when there is one.
void relay_tooltip_message(MSG* msg);

/// Stores \p message, \p window, \p wparam and \p lparam in the current-event fields. Any thread.
void store_current_event(UINT message, HWND window, WPARAM wparam, LPARAM lparam);

/// Posts WM_QUIT with \p exit_code to the main thread (after the fast loop's wake-ups while
/// fastmode is on): how the worker ends the program, whether its body returned or a fatal report
/// ended it.
void ask_main_thread_to_quit(int exit_code = 0);
/// Ends the worker thread (called on the worker): the program then ends normally with
/// \p exit_code. On any other thread it ends the process instead (terminate_program()).
[[noreturn]] void end_worker(int exit_code = 0);
/// Ends the process with \p exit_code from a thread other than the worker (the text window was
/// destroyed, the heap is exhausted, the end with fastmode on found the worker still running): the
/// worker is asked to end at its next print, request, pause or external call and waited for up to
/// half a second, what the file channels buffer is written, and the process ends with all its
/// threads at once.
[[noreturn]] void terminate_program(UINT exit_code = 0);
