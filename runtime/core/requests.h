/// \file
/// The GUI request channel: how the worker thread has the main thread do window work. A request is
/// message 0x8001 with its kind in wParam and a heap record of 32-bit fields in lParam, either
/// posted (and waited for) or sent to the hidden request window.
///
/// The channel is one table, owned here: each module registers the rows of the kinds it carries
/// out, {kind, handler, how it may travel, whether it signals}, once at start-up, and keeps the
/// records of those kinds in its own header. The worker allocates a record, issues the request,
/// waits until the main thread has carried it out, reads the results from the record and frees it
/// (the one exception: the main thread frees the record of kReqCreateTextWindow). A failed creation
/// leaves a null result window; nothing is reported. Requests are issued on the worker thread; the
/// main thread carries them out.
#pragma once

#include <windows.h>

#include <cstdint>

/// The request message (WM_APP + 1): wParam the RequestKind, lParam the record.
constexpr UINT kRequestMessage = 0x8001;

/// The kinds of request, and the module that carries each out (whose header holds its record).
/// Kinds 0xA015 to 0xA018 are the wake-ups of the main thread's loops that the `fastmode` switch
/// drives; 0xA011 carries the milliseconds of a pause itself.
enum RequestKind : uint32_t {
    kReqCreateTextWindow = 0xA001,  // windows: TextWindowRecord; the main thread frees it
    kReqCreateControl = 0xA002,     // windows: ControlRecord
    kReqPeek = 0xA003,              // core: an int32_t result
    kReqModelessDialog = 0xA004,    // dialogs: TemplateDialogRecord, template "LDIALOG"
    kReqResourceDialog = 0xA005,    // dialogs: ResourceDialogRecord
    kReqPopupMenu = 0xA006,         // windows: x, y in the text window's client area
    kReqDestroyWindow = 0xA007,     // windows: WindowResultRecord
    kReqFileDialog = 0xA008,        // dialogs: FileDialogRecord
    kReqTabControl = 0xA009,        // windows: ControlRecord; window text = first tab's caption
    kReqPump = 0xA00A,              // core: no record
    kReqExternalCall = 0xA00B,      // core: ExternalCallRecord (external.h); sent only
    kReqDialogWindow = 0xA00C,      // windows: DialogWindowRecord
    kReqFolderDialog = 0xA00D,      // dialogs: FolderDialogRecord
    kReqEditDialog = 0xA00E,        // dialogs: EditDialogRecord (dialogs.h)
    kReqListDialog = 0xA00F,        // dialogs: ListDialogRecord (dialogs.h)
    kReqInputDialog = 0xA010,       // dialogs: InputDialogRecord
    kReqPause = 0xA011,             // core: lParam = milliseconds
    kReqInputPending = 0xA012,      // core: an int32_t result
    kReqFillList = 0xA013,          // system: FillListRecord (file_list.h)
    kReqOwnDialog = 0xA014,         // dialogs: OwnDialogRecord; never waited for
    kReqEnterFastLoop = 0xA015,     // core: wake-up, fastmode switched on
    kReqLeaveFastLoop = 0xA016,     // core: wake-up, fastmode switched off
    kReqOpenLoop = 0xA017,          // core: wake-up, a pause or call opened the fast loop
    kReqCloseOpenLoop = 0xA018,     // core: wake-up, fastmode switched off
    kReqUpDown = 0xA019,            // windows: UpDownRecord
    kReqStatusBar = 0xA01A,         // windows: StatusBarRecord
    kReqTooltip = 0xA01B,           // windows: TooltipRecord
    kReqToolbar = 0xA01C,           // windows: ToolbarRecord
    kReqAddAccelerator = 0xA01D,    // windows: AcceleratorRecord
};

/// How a kind may travel to the main thread.
enum RequestTravel : uint8_t {
    kTravelPosted = 1,  // post_request(): the dispatcher of posted requests carries it out
    kTravelSent = 2,    // send_request(): the request window procedure carries it out
    kTravelEither = 3,  // either way
    kTravelWakeUp = 4,  // a thread message that only wakes the main thread's loops, which then
                        // read the state it stands for (the `fastmode` switch); no handler
};

/// One row of the request table, in the shape of Lua's luaL_Reg: a module's array of rows ends
/// with a row of kind 0.
struct RequestReg {
    /// The kind, 0xA001 to 0xA03F; 0 ends an array of rows.
    uint32_t kind;
    /// Carries the kind out on the main thread with the message's lParam (null for wake-ups).
    void (*handler)(LPARAM lparam);
    /// How it may travel; a kind that arrives another way is ignored.
    RequestTravel travel;
    /// Posted: the dispatcher sets the request-done event once it is carried out, and the issuer
    /// waits for that. Only these kinds may be issued with post_request().
    bool signals;
};

/// Registers a module's \p rows (ending with a row of kind 0), once at start-up before the worker
/// starts. Each kind is registered by one module only.
void register_requests(const RequestReg* rows);

/// True for the kinds after which the dispatcher sets the request-done event: only these may be
/// issued with post_request().
bool request_signals(uint32_t kind);
/// True when \p msg is a request message: 0x8001 posted to the main thread or to the request
/// window.
bool is_request_message(const MSG& msg);

/// Posts the request \p kind with \p record to the request window and waits until the main thread
/// has carried it out (only for kinds that signal; any other kind is posted without a wait). The
/// message's wParam holds the kind in its low word and a number of the posting in its high word,
/// never 0: a copy posted again for an earlier request is never taken for a later one, and a
/// posted request is never taken for a sent one.
void post_request(uint32_t kind, void* record);
/// Posts the request \p kind with \p value without waiting: a wake-up to the main thread, any
/// other kind, numbered, to the request window.
void post_request_nowait(uint32_t kind, LPARAM value = 0);
/// Sends the request \p kind with \p record to the request window (it returns when the main
/// thread has carried it out) and yields.
void send_request(uint32_t kind, LPARAM record);

/// The agreed pause: no thread of the runtime suspends another. The main thread asks the worker to
/// pause while the user moves or sizes a window of the runtime (until the loop ends in any way: the
/// button let go, the capture lost, the window destroyed), while it makes an external call itself
/// and while it shows the out-of-memory box. The worker waits at its next print, request or
/// external call until the pause ends (wait_if_paused()); a worker busy in its own computation keeps
/// running. Pauses nest; only the main thread asks for them.
void pause_worker();
/// Main thread: ends the pause that pause_worker() asked for.
void resume_worker();
/// On the worker: returns once no pause is asked for. On any other thread: returns at once.
void wait_if_paused();
/// True on the worker while a pause is asked for.
bool worker_must_pause();

/// Set by the folder dialog (1 chosen, 0 cancelled) and the input dialog (1 OK, 2 Cancel).
int32_t dialog_result_flag();
/// Sets the dialog result flag to \p value.
void set_dialog_result_flag(int32_t value);
/// The message number that the last peek request found.
int32_t peeked_message();
/// How often a kind that the dispatcher does not signal was given to post_request() (which then
/// does not wait). Always 0 in a correct program.
int32_t unsignalled_posts();

/// Main thread: carries out the request message \p msg, posted (a non-zero posting number in the
/// high word of wParam) or sent (none), by its row of the table.
void dispatch_request(const MSG& msg);
/// A request whose handler runs on the main thread (requests nest: one may be carried out inside
/// the modal loop of another).
struct RequestUnderWay;
/// The request whose handler runs now, the innermost; null outside a handler. Main thread.
RequestUnderWay* request_under_way();
/// Lets the issuer of \p request go on before its handler returns, as if it had returned: a sent
/// request is replied to (ReplyMessage), a posted one is done. Once; later calls do nothing. For a
/// handler whose work ends while a modal loop it cannot leave still runs (a pause whose time is up
/// while a box runs inside it). Main thread.
void release_issuer(RequestUnderWay* request);
/// Window procedure of the hidden request window (class "CW"). Main thread.
LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
/// Core start-up: the event the worker's pause waits on, and the rows of the kinds the core carries
/// out itself (peek, pump, pause, input pending, external call, the fast loop's wake-ups). Ends the
/// process with code 1 when the event cannot be made.
void register_core_requests();
