// Dialog procedures of the runtime's template dialogs (requests 0xA004, 0xA005, 0xA00E, 0xA00F,
// 0xA010). The input dialog sets the dialog result flag of the request channel (1 OK, 2 Cancel).
#pragma once

#include <windows.h>

INT_PTR CALLBACK template_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK edit_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK list_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK input_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
