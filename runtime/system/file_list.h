// The hidden file list and the file search that fills it.
#pragma once

#include <windows.h>

// Start-up and clean-up steps of the file state (run by the entry point).
void init_file_search();
void exit_file_search();

// Main thread (request 0xA013): sends message to control once per entry, lParam the entry's text.
void fill_list_control(HWND control, UINT message);
