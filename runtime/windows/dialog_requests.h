/// \file
/// The request kinds that open dialogs (requests.h): template and resource dialogs, the file and
/// folder dialogs, the edit, list and input dialogs and dialogs with the program's own procedure,
/// and their records: 32-bit fields in this order, allocated and freed by the issuer (those of the
/// edit and list dialogs are in dialogs.h). The window subsystem registers the kinds at start-up;
/// the request channel carries them out on the main thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

class RtString;

/// Kind 0xA004: a modeless dialog of the template "LDIALOG".
struct TemplateDialogRecord {
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
struct ResourceDialogRecord {
    /// The template's name, or its number as decimal text.
    const char* template_name;
    /// The owner window.
    HWND parent;
    /// The module holding the template; null: the program.
    HINSTANCE instance;
    /// Out: the dialog.
    HWND result;
};

/// Kind 0xA008: the open or save dialog.
struct FileDialogRecord {
    /// Non-zero: the save dialog.
    uint32_t save;
    /// The dialog's title.
    const char* title;
    /// "name|pattern|name|pattern", or "" (see build_file_filter).
    const char* filter;
    /// In and out: a buffer of 292 bytes with the chosen file's path; emptied on Cancel.
    char* file_name;  // 292 bytes
};

/// Kind 0xA00D: the folder dialog; sets the dialog result flag (1 chosen, 0 cancelled).
struct FolderDialogRecord {
    /// The text above the folder tree.
    const char* title;
    /// Out: a buffer of at least 260 bytes: the chosen folder; "" on Cancel.
    char* path;
};

/// Kind 0xA010: the input dialog "INPUT"; sets the dialog result flag (1 OK, 2 Cancel).
struct InputDialogRecord {
    /// The text above the field.
    const char* prompt;
    /// The dialog's title.
    const char* title;
    /// In: the field's first text; out: the answer after OK, unchanged after Cancel.
    RtString* text;  // in: the default; out: the answer
};

/// Kind 0xA014: a modeless dialog of "LDIALOG" with the program's own dialog procedure.
struct OwnDialogRecord {
    /// Not read.
    uint32_t unused[3];
    /// The dialog procedure; its WM_INITDIALOG lParam is the record.
    DLGPROC procedure;
};

/// Start-up of the window subsystem: registers the kinds of this file with the request channel.
void register_dialog_requests();

/// The file dialog's \p filter list (NUL-separated name and pattern pairs closed by a double NUL)
/// and \p default_extension (NUL-terminated, empty when there is none) from the request's \p save
/// flag, \p filter_text ("name|pattern|...") and the \p file_name already in its buffer.
void build_file_filter(bool save,
                       const char* filter_text,
                       const char* file_name,
                       std::vector<char>& filter,
                       std::vector<char>& default_extension);
