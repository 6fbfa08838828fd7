// The core's own start-up and clean-up steps, and the end of the process from the main thread.
// The order of all subsystems' steps lives above the modules, in runtime/program.
#pragma once

#include <windows.h>

// Core start-up: switch defaults, request-done event, command line, request window. Ends the
// process with code 1 when the request window cannot be made.
void init_core(HINSTANCE instance);
// Core clean-up: handles, OLE, command line, accelerator table.
void exit_core();
// The step that terminate_program runs before the process ends while the worker may still be
// running: it may not touch the heap. Installed by the program's start-up.
void install_heapless_exit_step(void (*step)());

// The ways the program ends before its body has finished.
enum EndWay {
    kEndFatalReport,  // a fatal report ends the worker; the normal clean-up follows
    kEndOutOfMemory,  // the heap is exhausted; the process ends with code 1
    kEndWindowClosed  // the text window was closed; the process ends with code 0
};
// A module's step for those ends: it runs on the worker before a fatal report ends it, on the
// thread that found the heap exhausted, and on the main thread once the C runtime's streams have
// been flushed after the text window was closed (\p flushed false when that could not be done in
// time). It needs no heap. At most four, run in the order installed (a step installed again is
// kept once): at start-up, or by the program body before it makes what the step removes.
using EndStep = void (*)(EndWay way, bool flushed);
void install_end_step(EndStep step);
void run_end_steps(EndWay way, bool flushed);

// The text window is going: the worker ends itself (ExitThread) at its next print, request, pause
// or external call, and a wait of its for the main thread ends at once. The main thread asks for
// it; the worker's side calls end_worker_if_asked at those points and waits on
// worker_end_event as well.
void ask_worker_to_end();
void end_worker_if_asked();
HANDLE worker_end_event();

// The WM_QUIT that ends the program, which a modal loop of the main thread may take and drop
// (Wine's move and size loop does). The worker notes that it asks to quit (before posting);
// the main thread's own loops note that they took a WM_QUIT; after each message they dispatch and
// each request they carry out, repost_swallowed_quit posts it again when it was asked for, no loop
// of ours has taken it and it is no longer queued.
void note_quit_asked();
void note_quit_taken();
void repost_swallowed_quit();
