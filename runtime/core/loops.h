// The main thread's loops: the message loop, the fast loop that the fastmode switch drives, the
// requests carried out after the end, the pump and the pause. Every loop reads the state it
// depends on (fastmode, the end asked for or taken, the worker's end) after each message and each
// wake-up, so a wake-up that a modal loop swallowed is not missed. Main thread only.
#pragma once

#include <windows.h>

// When an ordinary message's number, window and parameters go to the current-event fields (and
// the message event is set): before it is dispatched, after it, or not at all.
enum class EventRecord { kNone, kBeforeDispatch, kAfterDispatch };

// How a loop treats an ordinary (non-request) message; the loops differ only in these.
struct OrdinaryDispatch {
    bool dialog_keys;    // the current dialog gets IsDialogMessageA
    EventRecord record;  // the current-event fields and the message event
};
constexpr OrdinaryDispatch kMainLoopDispatch = {true, EventRecord::kAfterDispatch};
constexpr OrdinaryDispatch kOpenLoopDispatch = {true, EventRecord::kBeforeDispatch};
constexpr OrdinaryDispatch kPumpDispatch = {false, EventRecord::kNone};

// The one dispatch of an ordinary message for every loop: the text window's accelerators, the
// current dialog's keys (as how says), the tooltip relay, TranslateMessage and DispatchMessageA.
void dispatch_ordinary(MSG* msg, const OrdinaryDispatch& how);

// The message loop, until the end is asked for or taken (WM_QUIT) or the worker has ended; while
// the fastmode switch is on it runs the fast loop. Returns the exit code.
int run_main_loop();
// After the main loop: carries out requests and dispatches messages until the worker has ended,
// so that a request issued after the end is still answered.
void carry_out_requests_until_worker_ends();

// Request handlers: the pump (0xA00A) dispatches the messages that are there when it begins, for
// at most kPumpBudgetMs; the pause (0xA011) waits lparam milliseconds while it dispatches ordinary
// messages (the windows repaint, move and close), leaving the worker's other requests queued.
constexpr DWORD kPumpBudgetMs = 100;
void pump_messages(LPARAM unused);
void carry_out_pause(LPARAM ms);

// After a pause or an external call: with fastmode on, the fast loop dispatches every message
// again until fastmode is switched off.
void open_fast_loop();
// Called by the fastmode switch on every change, on any thread: a fast loop of the old setting
// ends even when the switch is back on by the time the main thread looks.
void note_fastmode_switched();
