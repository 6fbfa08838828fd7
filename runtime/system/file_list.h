/// \file
/// The file search that fills the hidden file list, and copying the list into list boxes, combo
/// boxes, edit controls and list views. Worker thread, except fill_list_control (main thread).
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/system/hidden_list.h"

/// Start-up step of the file state (`filemode` 2, io_result 0); registers request 0xA013 with the
/// request channel and the channels' end step. Called by the runtime.
void init_file_search();
/// Clean-up step: closes every file channel (their buffered text is written) and empties the
/// list. Called by the runtime when the program ends normally.
void exit_file_search();

/// Appends to the file list (hidden_list.h) the names that \p pattern (wildcards * and ?, as the
/// platform's file search matches them, short names, hidden and system files included) matches
/// in the current folder. With \p all_subfolders 0: files by name, folders as "[name]" (also "."
/// and ".." when the pattern matches them). Otherwise: the full paths of the matching files in the
/// current folder and every folder below it, depth first, a folder's files before its subfolders'
/// (folders themselves are not listed; a folder reached again through a link, and a path longer
/// than the platform allows, are left out). A name the code page cannot spell is listed by its
/// short name (see listed_name()). Nothing is sorted; nothing is reported; last_index is updated.
/// The current folder never changes meanwhile: the search walks by absolute paths, and no thread
/// is stopped for it. A pattern with a folder part ("D:\logs\*.log", "sub\*.jpg", relative to the
/// current folder) searches that folder, and with \p all_subfolders the walk starts there: the
/// paths listed are the files' own. A pattern the system cannot convert to its own names even at a
/// second try (short of memory) adds nothing and leaves its error code in io_result; otherwise
/// io_result is left alone.
void add_files(const RtString& pattern, int32_t all_subfolders);

/// The name under which the list holds a file or folder that the search found: the name itself when
/// the code page holds it exactly; else its short name \p short_name, which names the same file in
/// the code page; else (a volume without short names) \p name with "?" for each character the code
/// page lacks, a name no file can have, never a best-fit look-alike that may name another file.
RtString listed_name(const wchar_t* name, const wchar_t* short_name);

/// Copies the list into \p control by its class: a list box or combo box gets one item per entry
/// (added, the control is not emptied; carried out by the main thread), an edit control the
/// entries joined by CR LF as its text, a list view one row per entry (add_list_view_row()).
/// Returns how many entries the control took: last_index + 1 unless it refused some (a full list
/// box, an edit control whose text could not be set: 0); 0 for an empty list (nothing is done). A
/// control of another class is error 280 "Funktion nicht auf dieses Fensterobjekt anwendbar!" (then 0).
int32_t copy_list_to_control(HWND control);
/// Inserts a row into the list view \p control, at index \p row or at the end for -1; its
/// columns are the pieces of \p text between the separators of the `listdel` switch. Returns the
/// row's index (-1 when it could not be inserted).
int32_t add_list_view_row(HWND control, int32_t row, const RtString& text);

/// Main thread (request 0xA013): sends \p message to \p control once per entry, wParam 0 and
/// lParam the entry's text. Returns how many entries the control took.
int32_t fill_list_control(HWND control, UINT message);

/// Request 0xA013: fills a list box or combo box from a list.
struct FillListRecord {
    /// The control.
    HWND control;
    /// The message sent per entry (LB_ADDSTRING, CB_ADDSTRING).
    UINT message;
    /// The list: a std::deque<RtString>.
    void* list;
    /// Out: how many entries the control took.
    int32_t added;
};
