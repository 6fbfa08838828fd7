#include "runtime/windows/dialogs.h"

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/values/rt_string.h"
#include "runtime/windows/input_map.h"
#include "runtime/windows/window_procs.h"

namespace {

// Ends a modal dialog on OK and Cancel; the common part of the simple procedures.
INT_PTR end_on_button(HWND dialog, UINT message, WPARAM wparam) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam) == IDOK ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK template_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) != SC_CLOSE) {
                return FALSE;
            }
            // Closing is an input event; the program body decides whether the dialog goes.
            record_event(2, -2, kWakeSecond | kWakeFirst);
            return TRUE;
        case WM_ENTERSIZEMOVE:
            enter_size_move(dialog);
            return FALSE;
        case WM_EXITSIZEMOVE:
            leave_size_move(dialog);
            return FALSE;
        case WM_HSCROLL:
        case WM_VSCROLL:
            handle_scroll(dialog, message, wparam, lparam, nullptr);
            return lparam != 0 ? TRUE : FALSE;
        default:
            record_mapped_input(message, wparam, lparam);
            return FALSE;
    }
}

INT_PTR CALLBACK edit_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    return end_on_button(dialog, message, wparam);
}

INT_PTR CALLBACK list_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    return end_on_button(dialog, message, wparam);
}

INT_PTR CALLBACK input_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    auto* record = reinterpret_cast<InputDialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            record = reinterpret_cast<InputDialogRecord*>(lparam);
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            SetWindowTextA(dialog, record->title);
            SetDlgItemTextA(dialog, 100, record->prompt);
            SetDlgItemTextA(dialog, 101, record->text->c_str());
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                HWND edit = GetDlgItem(dialog, 101);
                int n = GetWindowTextLengthA(edit);
                char* buffer = rt_alloc(static_cast<size_t>(n) + 2);
                int got = GetWindowTextA(edit, buffer, n + 1);
                record->text->adopt(buffer, got);
                set_dialog_result_flag(1);
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                record->text->clear();
                set_dialog_result_flag(2);
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
