// The request channel: the table of request kinds, posting and sending a request, the dispatcher
// of posted requests and the request window procedure for sent ones.
//
// Threads meet here. The worker fills a heap record of 32-bit fields and either posts message
// 0x8001 to the hidden request window and waits until the main thread is done with it, or sends
// 0x8001 to that window. In both cases it stays blocked until the main thread is done with the
// record, so the record needs no lock.
//
// One table says everything about a kind: the module that carries it out registers its row
// {kind, handler, how it may travel, whether it signals} at start-up, and the dispatcher below is
// the one place that reads it. A posted request carries a posting number (never 0) in the high
// word of wParam, a sent one none: that, not InSendMessage(), tells the two apart, because a modal
// loop that runs inside another thread's sent message dispatches everything as "in a send".
//
// Posted requests go to the request window rather than to the thread: a modal loop on the main
// thread (a message box, a dialog, menu tracking, the move and size loop) dispatches window
// messages to their window, where the request window procedure carries them out, but drops
// thread messages. Only the wake-ups of the main thread's loops stay thread messages: the loops
// read the state they stand for after every message, so one that a modal loop drops is not missed.
//
// Neither thread ever suspends the other. The main thread asks the worker to pause (pause_worker)
// and the worker waits at its next print, request or external call.
#include "runtime/core/requests.h"

#include <atomic>
#include <cassert>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/loops.h"

namespace {

// The rows by kind - kFirstKind; kinds outside the range have none.
constexpr uint32_t kFirstKind = 0xA000;
constexpr uint32_t kKindRange = 0x40;
const RequestReg* g_rows[kKindRange] = {};  // written at start-up only, before the worker runs

std::atomic<int32_t> g_dialog_result{0};
std::atomic<int32_t> g_peeked_message{0};
std::atomic<int32_t> g_unsignalled_posts{0};

// Posting numbers run from 1 to 0xFFFF and round again; 0 marks a sent request.
std::atomic<uint32_t> g_last_posting{0};

// The posted request the worker waits for. A modal loop may drop a request it has just fetched (a
// dialog's loop drops what it fetches once the dialog has ended), so the worker posts it again
// until the main thread takes it. Every copy carries the same posting number; the state word holds
// number << 1, plus 1 while the request is not yet taken. Taking is one compare-exchange on that
// word, so a copy of an earlier request can never be taken for a later one, however late it comes.
// When the request is carried out, its number goes to the done word, and only that word tells the
// worker it is done: the request-done event is its wake-up, never its proof.
std::atomic<uint32_t> g_waited_kind{0};
std::atomic<LPARAM> g_waited_record{0};
std::atomic<uint32_t> g_waited_state{0};
std::atomic<uint32_t> g_done_posting{0};
constexpr DWORD kFirstRepostMs = 250;
constexpr DWORD kLongestRepostMs = 4000;
constexpr DWORD kFailedWaitPollMs = 10;

// The worker's pause: how many pauses the main thread holds (they nest), and a manual-reset event
// set while it holds none. Only the main thread changes either; the event is made at start-up and
// lives as long as the process.
std::atomic<int> g_pauses{0};
HANDLE g_pause_ended = nullptr;

uint32_t next_posting() {
    uint32_t previous = g_last_posting.load();
    while (!g_last_posting.compare_exchange_weak(previous, previous % 0xFFFF + 1)) {
    }
    return previous % 0xFFFF + 1;
}

const RequestReg* row_of(uint32_t kind) {
    return kind - kFirstKind < kKindRange ? g_rows[kind - kFirstKind] : nullptr;
}

bool may_travel(const RequestReg* row, RequestTravel travel) {
    return row != nullptr && row->handler != nullptr && (row->travel & travel) != 0;
}

bool waited_for(const RequestReg* row) {
    return may_travel(row, kTravelPosted) && row->signals;
}

}  // namespace

struct RequestUnderWay {
    bool sent;         // by another thread, which waits in SendMessageA
    uint32_t posting;  // posted: its number; 0 for a sent one and one called on the main thread
    bool signals;      // posted and waited for
    bool released;
};

namespace {

RequestUnderWay* g_under_way = nullptr;  // main thread only, the innermost

// Runs the handler with the request noted as under way; true when it released its issuer itself.
bool run_handler(const RequestReg* row, bool sent, uint32_t posting, LPARAM lparam) {
    RequestUnderWay here = {sent, posting, posting != 0 && row->signals, false};
    RequestUnderWay* outer = g_under_way;
    g_under_way = &here;
    row->handler(lparam);
    g_under_way = outer;
    return here.released;
}

void signal_done(uint32_t posting) {
    g_done_posting = posting;
    SetEvent(g_core.request_done_event);
}

void peek_message(LPARAM lparam) {
    auto* result = reinterpret_cast<int32_t*>(lparam);
    MSG msg;
    *result = PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (*result != 0) {
        store_current_event(msg.message, msg.hwnd, msg.wParam, msg.lParam);
        g_peeked_message = static_cast<int32_t>(msg.message);
    }
}

void input_pending(LPARAM lparam) {
    Sleep(0);
    *reinterpret_cast<int32_t*>(lparam) = GetQueueStatus(QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON) != 0 ? 1 : 0;
}

void external_call(LPARAM lparam) {
    carry_out_external_call(lparam);
    open_fast_loop();
}

const RequestReg kCoreRequests[] = {
    {kReqPeek, peek_message, kTravelPosted, true},
    {kReqPump, pump_messages, kTravelPosted, true},
    {kReqExternalCall, external_call, kTravelSent, false},
    {kReqPause, carry_out_pause, kTravelEither, true},
    {kReqInputPending, input_pending, kTravelEither, true},
    {kReqEnterFastLoop, nullptr, kTravelWakeUp, false},
    {kReqLeaveFastLoop, nullptr, kTravelWakeUp, false},
    {kReqOpenLoop, nullptr, kTravelWakeUp, false},
    {kReqCloseOpenLoop, nullptr, kTravelWakeUp, false},
    {0, nullptr, kTravelPosted, false},
};

// The worker's side of a waited request: posts it, posts it again while no loop has taken it, and
// returns once it is done. A failed wait is never taken for done: the worker then looks at the
// done word every few milliseconds. It ends here when the end of the process asks it to.
void post_and_wait(uint32_t kind, LPARAM lparam) {
    uint32_t posting = next_posting();
    uint32_t pending = posting << 1 | 1;
    g_done_posting = 0;
    g_waited_kind = kind;
    g_waited_record = lparam;
    g_waited_state = pending;
    WPARAM wparam = kind | posting << 16;
    PostMessageA(g_core.request_window, kRequestMessage, wparam, lparam);
    DWORD posted_at = GetTickCount();
    DWORD repost_ms = kFirstRepostMs;
    HANDLE events[2] = {g_core.request_done_event, worker_end_event()};
    for (;;) {
        DWORD elapsed = GetTickCount() - posted_at;
        DWORD wait_ms = INFINITE;  // taken: being carried out, perhaps a dialog the user takes time over
        if (g_waited_state.load() == pending) {
            wait_ms = elapsed < repost_ms ? repost_ms - elapsed : 0;
        }
        if (WaitForMultipleObjects(2, events, FALSE, wait_ms) == WAIT_FAILED) {
            Sleep(kFailedWaitPollMs);
        }
        end_worker_if_asked();
        if (g_done_posting.load() == posting) {
            return;
        }
        if (g_waited_state.load() == pending && GetTickCount() - posted_at >= repost_ms) {
            PostMessageA(g_core.request_window, kRequestMessage, wparam, lparam);
            posted_at = GetTickCount();
            repost_ms = repost_ms * 2 < kLongestRepostMs ? repost_ms * 2 : kLongestRepostMs;
        }
    }
}

// A posted request: a waited one only for the posting the worker waits for, once (a copy of one
// already taken, or of an earlier request, is dropped); then its number is done and the worker
// woken.
void carry_out_posted(const RequestReg* row, uint32_t posting, LPARAM lparam) {
    if (!row->signals) {
        run_handler(row, false, posting, lparam);
        return;
    }
    uint32_t pending = posting << 1 | 1;
    if (row->kind != g_waited_kind.load() || lparam != g_waited_record.load() ||
        !g_waited_state.compare_exchange_strong(pending, posting << 1)) {
        return;
    }
    if (!run_handler(row, false, posting, lparam)) {
        signal_done(posting);
    }
}

}  // namespace

void register_requests(const RequestReg* rows) {
    for (; rows->kind != 0; ++rows) {
        assert(rows->kind - kFirstKind < kKindRange && row_of(rows->kind) == nullptr);
        if (rows->kind - kFirstKind < kKindRange) {
            g_rows[rows->kind - kFirstKind] = rows;
        }
    }
}

void register_core_requests() {
    g_pause_ended = made_at_start_up(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    register_requests(kCoreRequests);
}

bool request_signals(uint32_t kind) {
    return waited_for(row_of(kind));
}

bool is_request_message(const MSG& msg) {
    return msg.message == kRequestMessage && (msg.hwnd == nullptr || msg.hwnd == g_core.request_window);
}

void post_request(uint32_t kind, void* record) {
    auto lparam = reinterpret_cast<LPARAM>(record);
    const RequestReg* row = row_of(kind);
    if (!waited_for(row)) {
        // Waiting would block the worker for ever: count the misuse instead.
        post_request_nowait(kind, lparam);
        ++g_unsignalled_posts;
        return;
    }
    if (GetCurrentThreadId() == g_core.main_thread_id) {
        // Waiting on its own queue would block the main thread for ever: carry it out here.
        run_handler(row, false, 0, lparam);
        return;
    }
    wait_if_paused();
    post_and_wait(kind, lparam);
}

void post_request_nowait(uint32_t kind, LPARAM value) {
    const RequestReg* row = row_of(kind);
    if (row != nullptr && row->travel == kTravelWakeUp) {
        PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, value);
        return;
    }
    PostMessageA(g_core.request_window, kRequestMessage, kind | next_posting() << 16, value);
}

void send_request(uint32_t kind, LPARAM record) {
    if (GetCurrentThreadId() == g_core.main_thread_id) {
        // What SendMessageA would do on this thread.
        const RequestReg* row = row_of(kind);
        if (may_travel(row, kTravelSent)) {
            run_handler(row, false, 0, record);
        }
        return;
    }
    wait_if_paused();
    SendMessageA(g_core.request_window, kRequestMessage, kind, record);
    end_worker_if_asked();
    Sleep(0);
}

// No heap is touched: the out-of-memory box pauses the worker too.
void pause_worker() {
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
// seen in the count again. Also where the worker ends itself when the end of the process asks.
void wait_if_paused() {
    end_worker_if_asked();
    while (worker_must_pause()) {
        HANDLE events[2] = {g_pause_ended, worker_end_event()};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        end_worker_if_asked();
    }
}

void dispatch_request(const MSG& msg) {
    const RequestReg* row = row_of(LOWORD(msg.wParam));
    uint32_t posting = HIWORD(msg.wParam);
    if (posting == 0) {
        if (may_travel(row, kTravelSent)) {
            run_handler(row, true, 0, msg.lParam);
        }
    } else if (may_travel(row, kTravelPosted)) {
        carry_out_posted(row, posting, msg.lParam);
    }
}

RequestUnderWay* request_under_way() {
    return g_under_way;
}

void release_issuer(RequestUnderWay* request) {
    if (request == nullptr || request->released) {
        return;
    }
    request->released = true;
    if (request->sent) {
        ReplyMessage(0);
    } else if (request->signals) {
        signal_done(request->posting);
    }
}

LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRequestMessage) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    MSG msg = {window, message, wparam, lparam, 0, {0, 0}};
    dispatch_request(msg);
    // A request may have shown a dialog or box whose loop took the WM_QUIT that ends the program.
    repost_swallowed_quit();
    return 0;
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
