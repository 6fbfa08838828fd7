#include "runtime/windows/dialogs.h"

#include <richedit.h>

#include <cstring>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/system/file_list.h"
#include "runtime/values/rt_string.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/input_map.h"
#include "runtime/windows/resource_ids.h"
#include "runtime/windows/window_procs.h"

namespace {

// The whole text of a control, as a new string.
RtString control_text(HWND control) {
    int n = GetWindowTextLengthA(control);
    char* buffer = rt_alloc(static_cast<size_t>(n) + 2);
    int got = GetWindowTextA(control, buffer, n + 1);
    RtString text;
    text.adopt(buffer, got);
    return text;
}

// Ends a list or input dialog: the result flag 1 (OK) or 2 (Cancel), and the dialog's value 1 or 0.
void end_with_result_flag(HWND dialog, int32_t flag) {
    set_dialog_result_flag(flag);
    EndDialog(dialog, flag == 1 ? 1 : 0);
}

// Entry index of a list box, as a new string.
RtString list_item_text(HWND list, LRESULT index) {
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n <= 0) {
        return RtString();
    }
    char* buffer = rt_alloc(static_cast<size_t>(n) + 2);
    LRESULT got = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    RtString text;
    text.adopt(buffer, got > 0 ? static_cast<int32_t>(got) : 0);
    return text;
}

// Fills the dialog's list box or combo box with the hidden file list and selects the first entry
// (in a single-selection list). A list box with a horizontal scroll bar gets the room of its widest
// entry: as its scroll extent, or as the column width of a multi-column list.
void fill_list_dialog(HWND dialog) {
    HWND combo = GetDlgItem(dialog, RES_IDC_COMBO);
    if (combo != nullptr) {
        fill_list_control(combo, CB_ADDSTRING);
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        return;
    }
    HWND list = GetDlgItem(dialog, RES_IDC_LIST);
    fill_list_control(list, LB_ADDSTRING);
    LONG style = GetWindowLongA(list, GWL_STYLE);
    if ((style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) == 0) {
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    }
    if ((style & WS_HSCROLL) == 0) {
        return;
    }
    HDC dc = GetDC(list);
    HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        RtString item = list_item_text(list, i);
        SIZE size = {};
        GetTextExtentPoint32A(dc, item.c_str(), item.length, &size);
        widest = size.cx > widest ? size.cx : widest;
    }
    SelectObject(dc, old_font);
    ReleaseDC(list, dc);
    const LONG margin = 2 * GetSystemMetrics(SM_CXEDGE) + 8;
    SendMessageA(list, (style & LBS_MULTICOLUMN) != 0 ? LB_SETCOLUMNWIDTH : LB_SETHORIZONTALEXTENT,
                 static_cast<WPARAM>(widest + margin), 0);
}

// The combo box's text, the chosen list entry, or the chosen entries of a multiple-selection list
// joined by the listdel switch; "" when nothing is chosen. The joined answer is sized once and
// then filled: appending entry by entry would copy it once per entry.
RtString list_dialog_answer(HWND dialog) {
    HWND combo = GetDlgItem(dialog, RES_IDC_COMBO);
    if (combo != nullptr) {
        return control_text(combo);
    }
    HWND list = GetDlgItem(dialog, RES_IDC_LIST);
    if ((GetWindowLongA(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) == 0) {
        LRESULT chosen = SendMessageA(list, LB_GETCURSEL, 0, 0);
        return chosen < 0 ? RtString() : list_item_text(list, chosen);
    }
    LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) {
        return RtString();
    }
    std::vector<int> chosen(static_cast<size_t>(count));
    count = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(chosen.data()));
    chosen.resize(count > 0 ? static_cast<size_t>(count) : 0);
    const RtString& delimiter = g_switches.listdel;
    size_t total = 0;
    for (int index : chosen) {
        LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        total += (n > 0 ? static_cast<size_t>(n) : 0) + static_cast<size_t>(delimiter.length);
    }
    // Room for the last entry's terminating NUL, which LB_GETTEXT writes.
    char* buffer = rt_alloc(total + 2);
    size_t used = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (i != 0) {
            std::memcpy(buffer + used, delimiter.data, static_cast<size_t>(delimiter.length));
            used += static_cast<size_t>(delimiter.length);
        }
        LRESULT got =
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(chosen[i]), reinterpret_cast<LPARAM>(buffer + used));
        used += got > 0 ? static_cast<size_t>(got) : 0;
    }
    buffer[used] = 0;
    RtString answer;
    answer.adopt(buffer, static_cast<int32_t>(used));
    return answer;
}

}  // namespace

INT_PTR CALLBACK template_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    track_size_move(dialog, message, lparam);
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
    auto* record = reinterpret_cast<EditDialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            record = reinterpret_cast<EditDialogRecord*>(lparam);
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            HWND edit = GetDlgItem(dialog, RES_IDC_EDIT);
            // No length limit beyond the control's own: a pasted text must not be cut short. (A plain
            // edit control ignores the rich edit message; a rich edit control takes it last.)
            SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
            SendMessageA(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
            if (record != nullptr && record->text != nullptr) {
                SetWindowTextA(edit, record->text->c_str());
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                if (record != nullptr && record->text != nullptr) {
                    *record->text = control_text(GetDlgItem(dialog, RES_IDC_EDIT));
                }
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK list_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    auto* record = reinterpret_cast<ListDialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            fill_list_dialog(dialog);
            return TRUE;
        case WM_COMMAND: {
            // A double click on an entry chooses it, like OK.
            bool double_click = LOWORD(wparam) == RES_IDC_LIST && HIWORD(wparam) == LBN_DBLCLK;
            if (LOWORD(wparam) == IDOK || double_click) {
                if (record != nullptr && record->answer != nullptr) {
                    *record->answer = list_dialog_answer(dialog);
                }
                end_with_result_flag(dialog, 1);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                if (record != nullptr && record->answer != nullptr) {
                    record->answer->clear();
                }
                end_with_result_flag(dialog, 2);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK input_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, dialog, wparam, lparam);
    auto* record = reinterpret_cast<InputDialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            record = reinterpret_cast<InputDialogRecord*>(lparam);
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            SetWindowTextA(dialog, record->title);
            SetDlgItemTextA(dialog, RES_IDC_PROMPT, record->prompt);
            SetDlgItemTextA(dialog, RES_IDC_EDIT, record->text->c_str());
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                *record->text = control_text(GetDlgItem(dialog, RES_IDC_EDIT));
                end_with_result_flag(dialog, 1);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                record->text->clear();
                end_with_result_flag(dialog, 2);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
