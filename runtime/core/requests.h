/// \file
/// The GUI request channel: how the worker thread has the main thread do window work. A request is
/// message 0x8001 with its kind in wParam and a heap record of 32-bit fields in lParam, either
/// posted to the main thread (and waited for) or sent to the hidden request window.
///
/// The worker allocates a record, issues the request, waits until the main thread has carried it
/// out, reads the results from the record and frees it (the one exception: the main thread frees
/// the record of kReqCreateTextWindow). A failed creation leaves a null result window; nothing is
/// reported. Requests are issued on the worker thread; the main thread carries them out.
#pragma once

#include <windows.h>

#include <cstdint>

class RtString;

/// The request message (WM_APP + 1): wParam the RequestKind, lParam the record.
constexpr UINT kRequestMessage = 0x8001;

/// The kinds of request. The comment beside each names the fields of the record it carries in
/// lParam, in order (the record structs below); kinds 0xA015 to 0xA018 are the markers of the fast
/// loop that the `fastmode` switch drives, and 0xA011 carries the milliseconds of a pause itself.
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

/// Request records: one 32-bit field each, in this order. The issuer allocates and frees them.
/// Kinds 0xA002 and 0xA009: a control (0xA009: a tab control whose text is the first tab's caption).
struct ControlRecord {  // 0xA002 and 0xA009
    /// Non-zero: the control takes menu_or_id and instance; 0: the next id from 1000 on.
    uint32_t own_id;
    /// Window style.
    DWORD style;
    /// Extended window style.
    DWORD ex_style;
    /// The control's window class.
    const char* class_name;
    /// The window text (0xA009: the first tab's caption).
    const char* text;
    /// Position and size in the parent's client area, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// The parent window.
    HWND parent;
    /// The child id, with own_id.
    uint32_t menu_or_id;
    /// The module, with own_id.
    HINSTANCE instance;
    /// Out: the control, null when it could not be made.
    HWND result;
};

/// Kind 0xA001: the text window's place; the main thread frees the record.
struct TextWindowRecord {  // 0xA001
    /// Position and size on the screen, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
};

/// Kind 0xA004: a modeless dialog of the template "LDIALOG".
struct TemplateDialogRecord {  // 0xA004
    /// Not read.
    uint32_t unused0;
    /// The owner window.
    HWND parent;
    /// Not read.
    uint32_t unused[4];
    /// Out: the dialog.
    HWND result;
};

/// Kind 0xA005: a modeless dialog of a template of the program's resources.
struct ResourceDialogRecord {  // 0xA005
    /// The template's name, or its number as decimal text.
    const char* template_name;
    /// The owner window.
    HWND parent;
    /// The module holding the template; null: the program.
    HINSTANCE instance;
    /// Out: the dialog.
    HWND result;
};

/// Kind 0xA007: destroys a window.
struct WindowResultRecord {  // 0xA007
    /// The window to destroy.
    HWND window;
    /// Out: DestroyWindow's result.
    BOOL result;
};

/// Kind 0xA008: the open or save dialog.
struct FileDialogRecord {  // 0xA008
    /// Non-zero: the save dialog.
    uint32_t save;
    /// The dialog's title.
    const char* title;
    /// "name|pattern|name|pattern", or "" (see the request's description).
    const char* filter;
    /// In and out: a buffer of 292 bytes with the chosen file's path; emptied on Cancel.
    char* file_name;  // 292 bytes
};

/// Kind 0xA00C: a window of class "DIALOG".
struct DialogWindowRecord {  // 0xA00C
    /// The window's title.
    const char* title;
    /// The owner window.
    HWND parent;
    /// Position and size on the screen, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// Out: the window.
    HWND result;
};

/// Kind 0xA00B: a call of another library's function on the main thread (external.h).
struct ExternalCallRecord {  // 0xA00B
    /// The function.
    void* address;
    /// The number of arguments, at most 33.
    int32_t count;
    /// Out: the function's result.
    uint32_t result;
    /// The call's own arguments, slot 0 the first parameter: carried in the record, a call that the
    /// main thread makes meanwhile cannot change them.
    uint32_t arguments[33];
};

/// Kind 0xA00D: the folder dialog; sets the dialog result flag (1 chosen, 0 cancelled).
struct FolderDialogRecord {  // 0xA00D
    /// The text above the folder tree.
    const char* title;
    /// Out: a buffer of at least 260 bytes: the chosen folder; "" on Cancel.
    char* path;
};

// 0xA00E, 0xA00F: EditDialogRecord and ListDialogRecord, beside their dialog procedures
// (runtime/windows/dialogs.h).

/// Kind 0xA010: the input dialog "INPUT"; sets the dialog result flag (1 OK, 2 Cancel).
struct InputDialogRecord {  // 0xA010
    /// The text above the field.
    const char* prompt;
    /// The dialog's title.
    const char* title;
    /// In: the field's first text; out: the answer after OK, unchanged after Cancel.
    RtString* text;  // in: the default; out: the answer
};

/// Kind 0xA013: fills a list box or combo box from a list (file_list.h).
struct FillListRecord {  // 0xA013
    /// The control.
    HWND control;
    /// The message sent per entry (LB_ADDSTRING, CB_ADDSTRING).
    UINT message;
    /// The list: a std::deque<RtString>.
    void* list;
};

/// Kind 0xA014: a modeless dialog of "LDIALOG" with the program's own dialog procedure.
struct OwnDialogRecord {  // 0xA014
    /// Not read.
    uint32_t unused[3];
    /// The dialog procedure; its WM_INITDIALOG lParam is the record.
    DLGPROC procedure;
};

/// Kind 0xA019: an up-down control.
struct UpDownRecord {  // 0xA019
    /// Position and size in the parent's client area, in pixels.
    ///@{
    int32_t x, y, width, height;
    ///@}
    /// The parent window.
    HWND parent;
    /// The buddy window, or null.
    HWND buddy;
    /// The range (upper and lower limit) and the start position.
    ///@{
    int32_t upper, lower, position;
    ///@}
};

/// Kind 0xA01A: a status bar.
struct StatusBarRecord {  // 0xA01A
    /// The parent window.
    HWND parent;
    /// The first text.
    const char* text;
    /// Out: the status bar.
    HWND result;
};

/// Kind 0xA01B: a tooltip for a window (the one tooltip window is made by the first request).
struct TooltipRecord {  // 0xA01B
    /// The window the tip belongs to.
    HWND tool_window;
    /// The tool's id.
    uint32_t tool_id;
    /// The tip's text.
    const char* text;
    /// Out: the tooltip window.
    HWND result;
};

/// Kind 0xA01C: a toolbar.
struct ToolbarRecord {  // 0xA01C
    /// The parent window.
    HWND parent;
    /// Window style.
    DWORD style;
    /// The buttons' images, or null for the system's (by size).
    HBITMAP bitmap;
    /// The number of buttons, at most 99.
    int32_t count;
    /// The image size, which also picks the system bitmap: 1 small standard, 2 large standard,
    /// 3 small view, any other large view.
    int32_t size;
    /// Button i sends the command -command_base - i.
    int32_t command_base;
    /// Out: the toolbar.
    HWND result;
};

/// Kind 0xA01D: adds an accelerator of the text window.
struct AcceleratorRecord {  // 0xA01D
    /// The command it sends.
    uint32_t command;
    /// The virtual key.
    uint32_t key;
    /// Bit 1 Shift, bit 2 Ctrl, bit 4 Alt.
    uint32_t modifiers;
};

/// True for the kinds after which the dispatcher sets the request-done event: only these may be
/// issued with post_request().
bool request_signals(uint32_t kind);
/// True when \p msg is a request message: 0x8001 posted to the main thread or to the request
/// window.
bool is_request_message(const MSG& msg);

/// Posts the request \p kind with \p record to the request window and waits for the request-done
/// event (only for kinds that the dispatcher signals; any other kind is posted without a wait).
void post_request(uint32_t kind, void* record);
/// Posts the request \p kind with \p value without waiting: the fast-loop markers to the main
/// thread, any other kind to the request window.
void post_request_nowait(uint32_t kind, LPARAM value = 0);
/// Sends the request \p kind with \p record to the request window (it returns when the main
/// thread has carried it out) and yields.
void send_request(uint32_t kind, LPARAM record);

/// The pause of the worker while the user moves or sizes a window of the runtime. The main thread
/// asks for it when its move or size loop starts and ends it when the loop ends; the worker waits
/// at its next drawing step or request (wait_if_paused()) until then, never at an arbitrary point.
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

/// Carries out request kinds for a module above the core (windows, dialogs); false for a kind the
/// module does not own.
using RequestHandler = bool (*)(uint32_t kind, LPARAM lparam);
/// Registers a module's handlers, once at start-up before the worker starts (at most four modules):
/// \p any for kinds carried out whether posted or sent, \p posted for kinds carried out only when
/// posted. Either may be null.
void register_request_handlers(RequestHandler any, RequestHandler posted);

/// Main thread: carries out the request message \p msg fetched from the thread queue.
void dispatch_request(const MSG& msg);
/// Window procedure of the hidden request window (class "CW"). Main thread.
LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
