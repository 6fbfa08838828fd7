// The main thread's loops. None of them blocks in GetMessageA: each takes its messages with
// PeekMessageA (which also carries out messages sent to the thread, sent requests among them) and
// waits with MsgWaitForMultipleObjectsEx for new messages or the worker's end. After every message
// and every wake-up it reads the state it depends on: the fastmode switch and how often it was
// switched, the end asked for (the worker notes it before it posts WM_QUIT) or taken (a WM_QUIT
// that one of these loops fetched), and the worker thread's handle. The thread messages that the
// fastmode switch posts are only wake-ups: a message box or dialog that drops them costs nothing,
// because the loop that runs again after it looks at the state.
#include "runtime/core/loops.h"

#include <atomic>

#include "runtime/core/core_state.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"

namespace {

// Which messages a loop takes.
enum class Take {
    kAll,
    kRequestsOnly,    // request messages and WM_QUIT: the fast loop while it is not open
    kAllButRequests,  // the pause: the worker's requests wait for it to end
};

// How often fastmode was switched; the fast loop is open while g_open_in is that count + 1.
std::atomic<uint32_t> g_fastmode_switches{0};
std::atomic<uint32_t> g_open_in{0};

bool take_range(MSG* msg, UINT first, UINT last) {
    return PeekMessageA(msg, nullptr, first, last, PM_REMOVE) != 0;
}

// The next message the loop takes, if one is there; sent messages are carried out on the way.
bool take_message(MSG* msg, Take what) {
    switch (what) {
        case Take::kAll:
            return take_range(msg, 0, 0);
        case Take::kRequestsOnly:
            return take_range(msg, WM_QUIT, WM_QUIT) || take_range(msg, kRequestMessage, kRequestMessage);
        case Take::kAllButRequests:
            return take_range(msg, 0, kRequestMessage - 1) || take_range(msg, kRequestMessage + 1, 0xFFFFFFFF);
    }
    return false;
}

// A loop that takes two ranges of messages may miss the wake-up of a message that arrives between
// its two looks (the second look marks it as seen): it looks again after this long at the most.
constexpr DWORD kTwoRangesWaitMs = 20;

// The worker's end, as the last look at its handle saw it. A loop that waits sees it at once (the
// handle is among what it waits for); one that never waits, because messages keep coming, looks at
// the handle itself every kWorkerLookMs.
constexpr DWORD kWorkerLookMs = 20;
bool g_worker_ended = false;  // main thread only
DWORD g_worker_looked_at = 0;

void look_at_worker() {
    g_worker_looked_at = GetTickCount();
    g_worker_ended = g_core.worker_thread != nullptr && WaitForSingleObject(g_core.worker_thread, 0) == WAIT_OBJECT_0;
}

bool worker_has_ended() {
    if (!g_worker_ended && GetTickCount() - g_worker_looked_at >= kWorkerLookMs) {
        look_at_worker();
    }
    return g_worker_ended;
}

// Waits until new messages of the kinds in wake_mask arrive, a message is sent to the thread, the
// worker ends (with worker_too) or ms pass. Messages already there but not taken do not wake it.
void wait_for_messages(Take what, DWORD ms, bool worker_too) {
    DWORD wake_mask = what == Take::kRequestsOnly ? QS_POSTMESSAGE : QS_ALLINPUT;
    if (what != Take::kAll && ms > kTwoRangesWaitMs) {
        ms = kTwoRangesWaitMs;
    }
    HANDLE worker = g_core.worker_thread;
    DWORD count = worker_too && worker != nullptr ? 1 : 0;
    if (MsgWaitForMultipleObjectsEx(count, &worker, ms, wake_mask | QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 &&
        count != 0) {
        look_at_worker();
    }
}

bool end_reached() {
    return quit_seen() || worker_has_ended();
}

bool fastmode_on() {
    return g_switches.fastmode.load() != 0;
}

void take_quit(const MSG& msg) {
    note_quit_taken(static_cast<int>(msg.wParam));
}

// The fast loop: while fastmode stays on (and is not switched off and on again), only request
// messages are taken, so ordinary window messages stay queued (sent messages, sent requests among
// them, are still carried out); after a pause or an external call it is open, and every message
// is taken again. It ends with fastmode, with the end and with the worker.
void run_fast_loop() {
    uint32_t switches = g_fastmode_switches.load();
    for (;;) {
        if (end_reached() || !fastmode_on() || g_fastmode_switches.load() != switches) {
            break;
        }
        Take what = g_open_in.load() == switches + 1 ? Take::kAll : Take::kRequestsOnly;
        MSG msg;
        if (!take_message(&msg, what)) {
            wait_for_messages(what, INFINITE, true);
            continue;
        }
        if (msg.message == WM_QUIT) {
            take_quit(msg);
        } else if (is_request_message(msg)) {
            dispatch_request(msg);
        } else {
            dispatch_ordinary(&msg, kOpenLoopDispatch);
        }
    }
    g_open_in = 0;
}

// A pause's time is up while a modal loop runs inside it (the user was asked whether to close the
// window): the worker goes on, and the box's loop carries out its next requests.
void CALLBACK end_pause_on_time(HWND window, UINT, UINT_PTR pause, DWORD) {
    KillTimer(window, pause);
    release_issuer(reinterpret_cast<RequestUnderWay*>(pause));
}

}  // namespace

void dispatch_ordinary(MSG* msg, const OrdinaryDispatch& how) {
    if (how.record == EventRecord::kBeforeDispatch) {
        store_current_event(msg->message, msg->hwnd, msg->wParam, msg->lParam);
    }
    bool handled =
        TranslateAcceleratorA(g_core.text_window, g_core.accelerators, msg) != 0 ||
        (how.dialog_keys && g_core.current_dialog != nullptr && IsDialogMessageA(g_core.current_dialog, msg));
    if (!handled) {
        relay_tooltip_message(msg);
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    if (how.record == EventRecord::kAfterDispatch) {
        store_current_event(msg->message, msg->hwnd, msg->wParam, msg->lParam);
    }
    // Set, not pulsed: a waiter that comes late still sees it.
    if (how.record != EventRecord::kNone && g_core.message_event != nullptr) {
        SetEvent(g_core.message_event);
    }
}

int run_main_loop() {
    for (;;) {
        if (end_reached()) {
            break;
        }
        if (fastmode_on()) {
            run_fast_loop();
            continue;
        }
        MSG msg;
        if (!take_message(&msg, Take::kAll)) {
            wait_for_messages(Take::kAll, INFINITE, true);
            continue;
        }
        if (msg.message == WM_QUIT) {
            take_quit(msg);
        } else if (is_request_message(msg)) {
            dispatch_request(msg);
        } else {
            dispatch_ordinary(&msg, kMainLoopDispatch);
        }
    }
    // The end is taken now, however it came: a WM_QUIT that a modal loop swallows is not posted
    // again.
    note_quit_taken(quit_exit_code());
    return quit_exit_code();
}

// No fast loop is entered any more: nothing would end it. A second WM_QUIT changes nothing.
void carry_out_requests_until_worker_ends() {
    while (!worker_has_ended() && g_core.worker_thread != nullptr) {
        MSG msg;
        if (!take_message(&msg, Take::kAll)) {
            wait_for_messages(Take::kAll, INFINITE, true);
        } else if (is_request_message(msg)) {
            dispatch_request(msg);
        } else if (msg.message != WM_QUIT) {
            dispatch_ordinary(&msg, kMainLoopDispatch);
        }
    }
}

// A message stamped after the pump began came after it: the pump ends once it has dispatched
// one. A dialog whose timer keeps the queue full cannot keep the pump going.
void pump_messages(LPARAM) {
    DWORD start = GetTickCount();
    MSG msg;
    while (take_message(&msg, Take::kAll)) {
        if (msg.message == WM_QUIT) {
            take_quit(msg);
            return;
        }
        if (is_request_message(msg)) {
            dispatch_request(msg);
        } else {
            dispatch_ordinary(&msg, kPumpDispatch);
        }
        if (static_cast<LONG>(msg.time - start) > 0 || GetTickCount() - start >= kPumpBudgetMs) {
            return;
        }
    }
}

// The window stays alive while the body pauses: ordinary messages are dispatched as in the main
// loop. The worker's requests wait (it is the one pausing; another of its requests would come from
// a thread of the program's own). The pause ends early when the end of the process asks the worker
// to end; the worker goes on when the time is up, also while a modal loop that a message began
// (a close confirmed by the user) still runs.
void carry_out_pause(LPARAM ms) {
    RequestUnderWay* pause = request_under_way();
    auto timer = reinterpret_cast<UINT_PTR>(pause);
    bool timed = pause != nullptr && ms > 0 &&
                 SetTimer(g_core.request_window, timer, static_cast<UINT>(ms), end_pause_on_time) != 0;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= static_cast<DWORD>(ms) || worker_end_asked()) {
            break;
        }
        MSG msg;
        if (!take_message(&msg, Take::kAllButRequests)) {
            wait_for_messages(Take::kAllButRequests, static_cast<DWORD>(ms) - spent, false);
        } else if (msg.message == WM_QUIT) {
            take_quit(msg);
        } else {
            dispatch_ordinary(&msg, kMainLoopDispatch);
        }
    }
    if (timed) {
        KillTimer(g_core.request_window, timer);
    }
    open_fast_loop();
}

void open_fast_loop() {
    if (fastmode_on()) {
        g_open_in = g_fastmode_switches.load() + 1;
        post_request_nowait(kReqOpenLoop);
    }
}

void note_fastmode_switched() {
    ++g_fastmode_switches;
}
