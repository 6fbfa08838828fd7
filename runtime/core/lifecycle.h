// The core's own start-up and clean-up steps, and the end of the process from the main thread.
// The order of all subsystems' steps lives above the modules, in runtime/program.
#pragma once

#include <windows.h>

// Core start-up: switch defaults, request-done event, command line, request window, the core's
// request kinds. Ends the process with code 1 when one of its parts cannot be made.
void init_core(HINSTANCE instance);
// Core clean-up: handles, OLE, command line, accelerator table.
void exit_core();
// The step that terminate_program runs before the process ends while the worker may still be
// running: it may not touch the heap. Installed by the program's start-up.
void install_heapless_exit_step(void (*step)());

// The ways the program ends before its body has finished.
enum EndWay {
    kEndWorkerEnds,  // a fatal report or heap exhaustion ends the worker; the clean-up follows
    kEndProcessEnds  // the process ends from another thread (terminate_program): no clean-up
};
// A module's step for those ends: it runs on the worker before end_worker ends it, and in
// terminate_program once the C runtime's streams have been flushed (\p flushed false when that
// could not be done in time). It needs no heap (the end may be heap exhaustion). At most four, run
// in the order installed (a step installed again is kept once): at start-up, or by the program
// body before it makes what the step removes.
using EndStep = void (*)(EndWay way, bool flushed);
void install_end_step(EndStep step);
void run_end_steps(EndWay way, bool flushed);

// A part of the start-up that could not be made ends the process with code 1, before the worker
// runs: made_at_start_up passes a handle through and ends the process when it is null.
[[noreturn]] void fail_start_up();
HANDLE made_at_start_up(HANDLE handle);

// The end of the process asks the worker to end: the worker ends itself (ExitThread) at its next
// print, request, pause or external call, and a wait of its for the main thread ends at once. The
// worker's side calls end_worker_if_asked at those points and waits on worker_end_event as well.
void ask_worker_to_end();
bool worker_end_asked();
void end_worker_if_asked();
HANDLE worker_end_event();
// Asks the worker to end and, on any thread but the worker's, waits up to half a second for it.
// True when it has ended (or never started).
bool stop_worker();

// The end of the main loop. The worker notes that it asks to quit, with the exit code, before it
// posts WM_QUIT; the main thread's loops note a WM_QUIT they took. The first WM_QUIT taken gives
// the exit code, else the one asked for. A modal loop of the main thread may take and drop the
// WM_QUIT (Wine's move and size loop does): repost_swallowed_quit posts it again when it was asked
// for, no loop of ours has taken it and it is no longer queued, so that a modal loop that is not
// ours (a dialog's) ends too.
void note_quit_asked(int exit_code);
void note_quit_taken(int exit_code);
bool quit_seen();
int quit_exit_code();
void repost_swallowed_quit();
