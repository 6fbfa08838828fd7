// Runtime core state: the process-wide handles and fields of the two threads, owned by the main
// thread from start-up to clean-up, and the accessors the program body and other modules use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/values/rt_string.h"

struct RtCoreState {
    HINSTANCE instance = nullptr;
    DWORD main_thread_id = 0;
    HWND request_window = nullptr;
    HANDLE worker_thread = nullptr;
    DWORD worker_thread_id = 0;
    HANDLE main_thread = nullptr;  // a real handle of the main thread (no thread suspends another)
    HANDLE request_done_event = nullptr;
    HANDLE message_event = nullptr;  // pulsed after every ordinary message
    // The last ordinary message; each field written with an interlocked exchange.
    volatile LONG event_message = 0;
    volatile LONG event_window = 0;
    volatile LONG event_wparam = 0;
    volatile LONG event_lparam = 0;
    std::vector<RtString> command_line;
    int32_t token_count = 0;
    int32_t parameter_count = -1;
    HACCEL accelerators = nullptr;
    int32_t accelerator_count = 0;
    HWND tooltip_window = nullptr;
    HWND current_dialog = nullptr;
    HWND text_window = nullptr;
};

extern RtCoreState g_core;

// Command-line parameter n: 0 is the program's full path, 1 and up the tokens after it; a number
// above the parameter count is error 208; below 0 gives "".
RtString parameter_string(int32_t n);
int32_t parameter_count();
// The full path of the program's module (GetModuleFileNameA, then GetFullPathNameA).
RtString program_path();

// Relays WM_MOUSEMOVE to the tooltip window, when there is one.
void relay_tooltip_message(MSG* msg);

// Stores a message in the current-event fields.
void store_current_event(UINT message, HWND window, WPARAM wparam, LPARAM lparam);

// Posts WM_QUIT to the main thread (after the fast-loop markers while fastmode is on): how the
// worker ends the program, whether its body returned or a fatal report ended it.
void ask_main_thread_to_quit();
// Ends the worker thread (called on the worker): the program then ends normally with code 0.
[[noreturn]] void end_worker();
// Ends the process from the main thread with code 0 (the text window was destroyed).
[[noreturn]] void terminate_program();
