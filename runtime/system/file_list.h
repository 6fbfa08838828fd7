// The file search that fills the hidden file list, and copying the list into list boxes, combo
// boxes, edit controls and list views. Worker thread, except fill_list_control (main thread).
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/system/hidden_list.h"

// Start-up and clean-up steps of the file state (run by the entry point).
void init_file_search();
void exit_file_search();

// Appends the matches of pattern in the current folder, or with all_subfolders non-zero the full
// paths of the matches in the current folder and every folder below it. The current folder never
// changes meanwhile (the search walks by absolute paths); no thread is stopped.
void add_files(const RtString& pattern, int32_t all_subfolders);

// The name under which the list holds a file or folder that the search found: the name itself when
// the code page holds it exactly; else its short name, which names the same file in the code page;
// else (a volume without short names) the name with "?" for each character the code page lacks, a
// name no file can have, never a best-fit look-alike that may name another file.
RtString listed_name(const wchar_t* name, const wchar_t* short_name);

// last_index + 1 after copying the list into the control; 0 for an empty list; error 280 for a
// control of another class.
int32_t copy_list_to_control(HWND control);
// Inserts a row (at the end for row -1) whose columns are the pieces of text between the listdel
// separators; returns the row's index.
int32_t add_list_view_row(HWND control, int32_t row, const RtString& text);

// Main thread (request 0xA013): sends message to control once per entry, lParam the entry's text.
void fill_list_control(HWND control, UINT message);
