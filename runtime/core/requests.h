// The GUI request channel: how the worker thread has the main thread do window work. A request is
// message 0x8001 with its kind in wParam and a heap record of 32-bit fields in lParam, either
// posted to the main thread (and waited for) or sent to the hidden request window.
#pragma once

#include <windows.h>

#include <cstdint>

class RtString;

constexpr UINT kRequestMessage = 0x8001;

enum RequestKind : uint32_t {
    kReqCreateTextWindow = 0xA001,  // x, y, width, height; the main thread frees the record
    kReqCreateControl = 0xA002,     // ControlRecord
    kReqPeek = 0xA003,              // result
    kReqModelessDialog = 0xA004,    // template "LDIALOG"
    kReqResourceDialog = 0xA005,    // template name, parent, instance, result window
    kReqPopupMenu = 0xA006,         // x, y in the text window's client area
    kReqDestroyWindow = 0xA007,     // window, result
    kReqFileDialog = 0xA008,        // save flag, title, filter text, file-name buffer of 292 bytes
    kReqTabControl = 0xA009,        // ControlRecord; window text = first tab's caption
    kReqPump = 0xA00A,              // no record
    kReqExternalCall = 0xA00B,      // ExternalCallRecord; sent only
    kReqDialogWindow = 0xA00C,      // title, parent, x, y, width, height, result window
    kReqFolderDialog = 0xA00D,      // title, path buffer
    kReqEditDialog = 0xA00E,        // text, variant, result
    kReqListDialog = 0xA00F,        // answer, variant
    kReqInputDialog = 0xA010,       // prompt, title, text in and out
    kReqPause = 0xA011,             // lParam = milliseconds
    kReqInputPending = 0xA012,      // result
    kReqFillList = 0xA013,          // control, message number, list
    kReqOwnDialog = 0xA014,         // three unread fields, dialog procedure; never waited for
    kReqEnterFastLoop = 0xA015,     // posted without waiting
    kReqLeaveFastLoop = 0xA016,     // marker of the fast loop
    kReqOpenLoop = 0xA017,          // marker of the fast loop
    kReqCloseOpenLoop = 0xA018,     // marker of the fast loop
    kReqUpDown = 0xA019,            // x, y, width, height, parent, buddy, upper, lower, position
    kReqStatusBar = 0xA01A,         // parent, text, result window
    kReqTooltip = 0xA01B,           // tool window, tool id, text, result tooltip
    kReqToolbar = 0xA01C,           // parent, style, bitmap, count, size, command base, result
    kReqAddAccelerator = 0xA01D,    // command, key, modifiers
};

// Request records: one 32-bit field each, in this order. The issuer allocates and frees them.
struct ControlRecord {  // 0xA002 and 0xA009
    uint32_t own_id;
    DWORD style;
    DWORD ex_style;
    const char* class_name;
    const char* text;
    int32_t x, y, width, height;
    HWND parent;
    uint32_t menu_or_id;
    HINSTANCE instance;
    HWND result;
};

struct TextWindowRecord {  // 0xA001
    int32_t x, y, width, height;
};

struct TemplateDialogRecord {  // 0xA004
    uint32_t unused0;
    HWND parent;
    uint32_t unused[4];
    HWND result;
};

struct ResourceDialogRecord {  // 0xA005
    const char* template_name;
    HWND parent;
    HINSTANCE instance;
    HWND result;
};

struct WindowResultRecord {  // 0xA007
    HWND window;
    BOOL result;
};

struct FileDialogRecord {  // 0xA008
    uint32_t save;
    const char* title;
    const char* filter;
    char* file_name;  // 292 bytes
};

struct DialogWindowRecord {  // 0xA00C
    const char* title;
    HWND parent;
    int32_t x, y, width, height;
    HWND result;
};

struct ExternalCallRecord {  // 0xA00B
    void* address;
    int32_t count;
    uint32_t result;
    // The call's own arguments, slot 0 the first parameter: carried in the record, a call that the
    // main thread makes meanwhile cannot change them.
    uint32_t arguments[33];
};

struct FolderDialogRecord {  // 0xA00D
    const char* title;
    char* path;
};

// 0xA00E, 0xA00F: EditDialogRecord and ListDialogRecord, beside their dialog procedures
// (runtime/windows/dialogs.h).

struct InputDialogRecord {  // 0xA010
    const char* prompt;
    const char* title;
    RtString* text;  // in: the default; out: the answer
};

struct FillListRecord {  // 0xA013
    HWND control;
    UINT message;
    void* list;
};

struct OwnDialogRecord {  // 0xA014
    uint32_t unused[3];
    DLGPROC procedure;
};

struct UpDownRecord {  // 0xA019
    int32_t x, y, width, height;
    HWND parent;
    HWND buddy;
    int32_t upper, lower, position;
};

struct StatusBarRecord {  // 0xA01A
    HWND parent;
    const char* text;
    HWND result;
};

struct TooltipRecord {  // 0xA01B
    HWND tool_window;
    uint32_t tool_id;
    const char* text;
    HWND result;
};

struct ToolbarRecord {  // 0xA01C
    HWND parent;
    DWORD style;
    HBITMAP bitmap;
    int32_t count;
    int32_t size;
    int32_t command_base;
    HWND result;
};

struct AcceleratorRecord {  // 0xA01D
    uint32_t command;
    uint32_t key;
    uint32_t modifiers;
};

// True for the kinds after which the dispatcher sets the request-done event: only these may be
// issued with post_request.
bool request_signals(uint32_t kind);
// True for a request message: 0x8001 posted to the main thread or to the request window.
bool is_request_message(const MSG& msg);

// Posts the request to the request window and waits for the request-done event (only for kinds
// that the dispatcher signals; any other kind is posted without a wait). The message's wParam
// holds the kind in its low word and a number of the posting in its high word: a copy posted
// again for an earlier request is never taken for a later one.
void post_request(uint32_t kind, void* record);
// Posts the request without waiting: the fast-loop markers to the main thread, any other kind to
// the request window.
void post_request_nowait(uint32_t kind, LPARAM value = 0);
// Sends the request to the request window and yields.
void send_request(uint32_t kind, LPARAM record);

// The agreed pause: no thread of the runtime suspends another. The main thread asks the worker to
// pause while the user moves or sizes a window of the runtime (until the loop ends in any way: the
// button let go, the capture lost, the window destroyed), while it makes an external call itself
// and while it shows the out-of-memory box. The worker waits at its next print, request or
// external call until the pause ends; a worker busy in its own computation keeps running.
// Pauses nest; only the main thread asks for them.
void pause_worker();
void resume_worker();
// On the worker: returns once no pause is asked for. On any other thread: returns at once.
void wait_if_paused();
// True on the worker while a pause is asked for.
bool worker_must_pause();

// Set by the folder dialog (1 chosen, 0 cancelled) and the input dialog (1 OK, 2 Cancel).
int32_t dialog_result_flag();
void set_dialog_result_flag(int32_t value);
// The message number that the last peek request found.
int32_t peeked_message();
// How often a kind that the dispatcher does not signal was given to post_request (which then
// does not wait). Always 0 in a correct program.
int32_t unsignalled_posts();

// Carries out request kinds for a module above the core (windows, dialogs); false for a kind the
// module does not own.
using RequestHandler = bool (*)(uint32_t kind, LPARAM lparam);
// Registers a module's handlers, once at start-up before the worker starts (at most four modules):
// `any` for kinds carried out whether posted or sent, `posted` for kinds carried out only when
// posted. Either may be null.
void register_request_handlers(RequestHandler any, RequestHandler posted);

// The main thread's handler of a request message fetched from the thread queue.
void dispatch_request(const MSG& msg);
// Window procedure of the hidden request window (class "CW").
LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// After the main loop has seen WM_QUIT: goes on carrying out requests and dispatching messages
// until thread has ended, so that a request issued after the end is still answered.
void carry_out_requests_until_ended(HANDLE thread);
