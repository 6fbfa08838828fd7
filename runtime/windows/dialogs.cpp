#include "runtime/windows/dialogs.h"

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/values/rt_string.h"

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
    return message == WM_INITDIALOG ? TRUE : FALSE;
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
