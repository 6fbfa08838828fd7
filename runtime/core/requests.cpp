// The main thread's side of the request channel: the dispatcher of posted requests, the request
// window procedure for sent ones, and the fast loop that the fastmode switch drives.
//
// Threads meet here. The worker fills a heap record of 32-bit fields and either posts message
// 0x8001 to the hidden request window and waits on the auto-reset request-done event, or sends
// 0x8001 to that window. In both cases it stays blocked until the main thread is done with the
// record, so the record needs no lock. The dispatcher sets the event exactly once for each kind in
// the signalling set (request_signals); a kind outside it must never be posted with a wait.
//
// Posted requests go to the request window rather than to the thread: a modal loop on the main
// thread (a message box, a dialog, menu tracking, the move and size loop) dispatches window
// messages to their window, where the request window procedure carries them out, but drops
// thread messages. Only the markers of the fast loop stay thread messages: they steer the loops
// of this file and mean nothing to any other.
//
// Neither thread ever suspends the other. The main thread asks the worker to pause (pause_worker)
// and the worker waits at its next print, request or external call; after the main loop has seen
// WM_QUIT, the main thread goes on carrying out requests until the worker has ended.
#include "runtime/core/requests.h"

#include <atomic>
#include <cassert>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/lifecycle.h"
#include "runtime/settings/switch_vars.h"

namespace {

struct RegisteredHandlers {
    RequestHandler any;
    RequestHandler posted;
};
constexpr int kMaxHandlerModules = 4;
RegisteredHandlers g_handlers[kMaxHandlerModules] = {};
int g_handler_count = 0;  // written at start-up only, before the worker runs

std::atomic<int32_t> g_dialog_result{0};
std::atomic<int32_t> g_peeked_message{0};
std::atomic<int32_t> g_unsignalled_posts{0};
bool g_in_fast_loop = false;  // main thread only

// The posted request the worker waits for. A modal loop may drop a request it has just fetched (a
// dialog's loop drops what it fetches once the dialog has ended), so the worker posts it again
// until the main thread takes it. Each request gets a posting number (1 to 0xFFFF, in the high
// word of wParam, the same in all its copies); the state word holds number << 1, plus 1 while the
// request is not yet taken. Taking is one compare-exchange on that word, so a copy of an earlier
// request can never be taken for a later one, however late it comes.
std::atomic<uint32_t> g_waited_kind{0};
std::atomic<LPARAM> g_waited_record{0};
std::atomic<uint32_t> g_waited_state{0};
uint32_t g_last_posting = 0;  // worker only
constexpr DWORD kFirstRepostMs = 250;
constexpr DWORD kLongestRepostMs = 4000;

// The worker's pause: how many pauses the main thread holds (they nest), and a manual-reset event
// set while it holds none. Only the main thread changes either; the event is made at the first
// pause and lives as long as the process.
std::atomic<int> g_pauses{0};
HANDLE g_pause_ended = nullptr;

template <typename Record>
Record* record_of(LPARAM lparam) {
    return reinterpret_cast<Record*>(lparam);
}

void peek_message(LPARAM lparam) {
    auto* result = record_of<int32_t>(lparam);
    MSG msg;
    *result = PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (*result != 0) {
        store_current_event(msg.message, msg.hwnd, msg.wParam, msg.lParam);
        g_peeked_message = static_cast<int32_t>(msg.message);
    }
}

void input_pending(LPARAM lparam) {
    Sleep(0);
    *record_of<int32_t>(lparam) = GetQueueStatus(QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON) != 0 ? 1 : 0;
}

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!TranslateAcceleratorA(g_core.text_window, g_core.accelerators, &msg)) {
            relay_tooltip_message(&msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool is_fast_loop_marker(uint32_t kind) {
    return kind >= kReqEnterFastLoop && kind <= kReqCloseOpenLoop;
}

// A marker of the fast loop: only as a thread message (posted to the request window it is not
// one, and the dispatcher ignores it).
bool is_marker(const MSG& msg, uint32_t kind) {
    return msg.hwnd == nullptr && msg.wParam == kind;
}

// Ordinary messages inside the open loop; the events are pulsed as in the main loop.
void dispatch_in_open_loop(MSG* msg) {
    store_current_event(msg->message, msg->hwnd, msg->wParam, msg->lParam);
    bool handled = TranslateAcceleratorA(g_core.text_window, g_core.accelerators, msg) != 0 ||
                   (g_core.current_dialog != nullptr && IsDialogMessageA(g_core.current_dialog, msg));
    if (!handled) {
        relay_tooltip_message(msg);
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    if (g_core.message_event != nullptr) {
        PulseEvent(g_core.message_event);
    }
}

// The open loop: normal dispatching again until 0xA018 or WM_QUIT.
void run_open_loop() {
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            note_quit_taken();
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) {
            return;
        }
        if (is_request_message(msg)) {
            if (is_marker(msg, kReqCloseOpenLoop)) {
                return;
            }
            dispatch_request(msg);
        } else {
            dispatch_in_open_loop(&msg);
        }
        repost_swallowed_quit();
    }
}

// The fast loop: only request messages are fetched, so ordinary window messages stay queued
// (sent messages, such as sent requests, are still carried out inside GetMessageA).
void run_fast_loop() {
    g_in_fast_loop = true;
    MSG msg = {};
    bool quit = false;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, kRequestMessage, kRequestMessage);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got < 0) {
            break;
        }
        if (!is_request_message(msg)) {
            DispatchMessageA(&msg);  // 0x8001 posted to another window is that window's message
        } else if (is_marker(msg, kReqLeaveFastLoop)) {
            break;
        } else if (is_marker(msg, kReqOpenLoop)) {
            run_open_loop();
        } else {
            dispatch_request(msg);
        }
        repost_swallowed_quit();
    }
    g_in_fast_loop = false;
    if (quit) {
        note_quit_taken();
        PostQuitMessage(static_cast<int>(msg.wParam));
    }
}

void after_pause_or_call() {
    if (g_switches.fastmode.load() != 0) {
        post_request_nowait(kReqOpenLoop);
    }
}

// Carries out a kind that both the dispatcher and the request window procedure know.
bool carry_out_common(uint32_t kind, LPARAM lparam) {
    for (int i = 0; i < g_handler_count; ++i) {
        if (g_handlers[i].any != nullptr && g_handlers[i].any(kind, lparam)) {
            return true;
        }
    }
    if (kind == kReqInputPending) {
        input_pending(lparam);
        return true;
    }
    return false;
}

// Carries out a sent kind.
void carry_out_sent(uint32_t kind, LPARAM lparam) {
    if (carry_out_common(kind, lparam)) {
        return;
    }
    switch (kind) {
        case kReqExternalCall:
            carry_out_external_call(lparam);
            after_pause_or_call();
            return;
        case kReqPause:
            Sleep(static_cast<DWORD>(lparam));
            after_pause_or_call();
            return;
        default:
            return;
    }
}

// Carries out a posted kind; false for the fast-loop kinds and unknown kinds.
bool carry_out_posted(uint32_t kind, LPARAM lparam) {
    if (carry_out_common(kind, lparam)) {
        return true;
    }
    for (int i = 0; i < g_handler_count; ++i) {
        if (g_handlers[i].posted != nullptr && g_handlers[i].posted(kind, lparam)) {
            return true;
        }
    }
    switch (kind) {
        case kReqPeek:
            peek_message(lparam);
            return true;
        case kReqPump:
            pump_messages();
            return true;
        case kReqPause:
            Sleep(static_cast<DWORD>(lparam));
            return true;
        default:
            return false;
    }
}

}  // namespace

void register_request_handlers(RequestHandler any, RequestHandler posted) {
    assert(g_handler_count < kMaxHandlerModules);
    g_handlers[g_handler_count++] = {any, posted};
}

bool request_signals(uint32_t kind) {
    switch (kind) {
        case kReqExternalCall:
        case kReqOwnDialog:
        case kReqEnterFastLoop:
        case kReqLeaveFastLoop:
        case kReqOpenLoop:
        case kReqCloseOpenLoop:
            return false;
        default:
            return kind >= kReqCreateTextWindow && kind <= kReqAddAccelerator;
    }
}

bool is_request_message(const MSG& msg) {
    return msg.message == kRequestMessage && (msg.hwnd == nullptr || msg.hwnd == g_core.request_window);
}

void post_request(uint32_t kind, void* record) {
    if (GetCurrentThreadId() == g_core.main_thread_id && request_signals(kind)) {
        // Waiting on its own queue would block the main thread for ever: carry it out here.
        carry_out_posted(kind, reinterpret_cast<LPARAM>(record));
        return;
    }
    wait_if_paused();
    auto lparam = reinterpret_cast<LPARAM>(record);
    if (!request_signals(kind)) {
        // Waiting would block the worker for ever: count the misuse instead.
        PostMessageA(g_core.request_window, kRequestMessage, kind, lparam);
        ++g_unsignalled_posts;
        return;
    }
    g_last_posting = g_last_posting % 0xFFFF + 1;
    uint32_t pending = g_last_posting << 1 | 1;
    g_waited_kind = kind;
    g_waited_record = lparam;
    g_waited_state = pending;
    WPARAM wparam = kind | g_last_posting << 16;
    PostMessageA(g_core.request_window, kRequestMessage, wparam, lparam);
    DWORD wait_ms = kFirstRepostMs;
    HANDLE events[2] = {g_core.request_done_event, worker_end_event()};
    for (;;) {
        DWORD woken = WaitForMultipleObjects(2, events, FALSE, wait_ms);
        if (woken != WAIT_TIMEOUT) {
            end_worker_if_asked();  // done, or the text window is going: the worker then ends here
            return;
        }
        if (g_waited_state != pending) {
            wait_ms = INFINITE;  // being carried out, perhaps a dialog the user takes time over
            continue;
        }
        PostMessageA(g_core.request_window, kRequestMessage, wparam, lparam);
        wait_ms = wait_ms * 2 < kLongestRepostMs ? wait_ms * 2 : kLongestRepostMs;
    }
}

void post_request_nowait(uint32_t kind, LPARAM value) {
    if (is_fast_loop_marker(kind)) {
        PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, value);
    } else {
        PostMessageA(g_core.request_window, kRequestMessage, kind, value);
    }
}

void send_request(uint32_t kind, LPARAM record) {
    if (GetCurrentThreadId() == g_core.main_thread_id) {
        // What SendMessageA would do on this thread; called directly, so that the request window
        // procedure sees only other threads' sends as sent (InSendMessage).
        carry_out_sent(kind, record);
        return;
    }
    wait_if_paused();
    SendMessageA(g_core.request_window, kRequestMessage, kind, record);
    end_worker_if_asked();
    Sleep(0);
}

// No heap is touched: the out-of-memory box pauses the worker too.
void pause_worker() {
    if (g_pause_ended == nullptr) {
        g_pause_ended = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    ResetEvent(g_pause_ended);
    ++g_pauses;
}

void resume_worker() {
    if (g_pauses > 0 && --g_pauses == 0) {
        SetEvent(g_pause_ended);
    }
}

bool worker_must_pause() {
    return g_pauses.load() != 0 && GetCurrentThreadId() == g_core.worker_thread_id;
}

// The event is set by the resume that ends the last pause; a new pause that began meanwhile is
// seen in the count again. Also where the worker ends itself when the text window is going.
void wait_if_paused() {
    end_worker_if_asked();
    while (worker_must_pause()) {
        HANDLE events[2] = {g_pause_ended, worker_end_event()};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        end_worker_if_asked();
    }
}

void dispatch_request(const MSG& msg) {
    uint32_t kind = LOWORD(msg.wParam);
    if (is_marker(msg, kReqEnterFastLoop)) {
        // A fast loop already running goes on: a second one inside it would outlive the first.
        if (!g_in_fast_loop) {
            run_fast_loop();
        }
        return;
    }
    if (!request_signals(kind)) {
        carry_out_posted(kind, msg.lParam);
        return;
    }
    // Only the posting the worker waits for, once: a copy of one already taken, or of an earlier
    // request, is dropped.
    uint32_t posting = HIWORD(msg.wParam);
    uint32_t pending = posting << 1 | 1;
    if (posting == 0 || kind != g_waited_kind || msg.lParam != g_waited_record ||
        !g_waited_state.compare_exchange_strong(pending, posting << 1)) {
        return;
    }
    if (carry_out_posted(kind, msg.lParam)) {
        SetEvent(g_core.request_done_event);
    }
}

LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRequestMessage) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (!InSendMessage()) {
        // Posted, and dispatched by a loop that is not ours (a modal one): carry it out as the
        // dispatcher would.
        MSG msg = {window, message, wparam, lparam, 0, {0, 0}};
        dispatch_request(msg);
    } else {
        carry_out_sent(static_cast<uint32_t>(wparam), lparam);
    }
    // A request may have shown a dialog or box whose loop took the WM_QUIT that ends the program.
    repost_swallowed_quit();
    return 0;
}

void carry_out_requests_until_ended(HANDLE thread) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                note_quit_taken();  // a second one: the end is under way
            } else if (!is_request_message(msg)) {
                dispatch_in_open_loop(&msg);
            } else if (msg.hwnd != nullptr || !is_fast_loop_marker(LOWORD(msg.wParam))) {
                dispatch_request(msg);  // no fast loop is entered any more: nothing would end it
            }
        }
        DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1) {
            return;  // the thread has ended (or the wait failed)
        }
    }
}

int32_t dialog_result_flag() {
    return g_dialog_result.load();
}

void set_dialog_result_flag(int32_t value) {
    g_dialog_result = value;
}

int32_t peeked_message() {
    return g_peeked_message.load();
}

int32_t unsignalled_posts() {
    return g_unsignalled_posts.load();
}
