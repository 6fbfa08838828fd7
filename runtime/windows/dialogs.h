/// \file
/// Dialog procedures of the runtime's template dialogs (requests 0xA004, 0xA005, 0xA00E, 0xA00F,
/// 0xA010) and the records of the edit and list dialogs. The input and list dialogs set the dialog
/// result flag of the request channel (1 OK, 2 Cancel). The procedures run on the main thread; the
/// worker issues the requests (requests.h) with these records and waits for the answer.
#pragma once

#include <windows.h>

#include <cstdint>

class RtString;

/// Records of the edit and list dialog requests, 32-bit fields in this order. The channel reads the
/// variant (which template) and writes the edit dialog's result; the procedures read and write the
/// rest.
///
/// Edit dialog (0xA00E): "EDITBOX2" (a rich edit control) for variant 2, else "EDITBOX1" (a plain
/// multi-line edit control).
struct EditDialogRecord {
    /// In: shown in the edit field; out: the edited text after OK, unchanged after Cancel.
    RtString* text;
    /// 2 the rich edit template, another number the plain one.
    int32_t variant;
    /// Out: the dialog's return value: 1 OK, 0 Cancel, -1 when it could not be shown.
    int32_t result;
};

/// List dialog (0xA00F): "LISTBOX1" to "LISTBOX8" for variants 1 to 8, "LISTBOX7" for any other.
/// Every list shows the entries of the hidden file list (Enter, OK or a double click chooses):
///
/// | variant | title | list |
/// |---|---|---|
/// | 1 | "Auswahl" | list box, first entry selected |
/// | 2 | "Auswahl (sortiert)" | sorted list box |
/// | 3 | "Mehrfachauswahl" | list box with multiple selection (Ctrl and Shift) |
/// | 4 | "Auswahl aus der Liste" | drop-down list |
/// | 5 | "Eingabe oder Auswahl" | combo box whose text may also be typed |
/// | 6 | "Auswahl in Spalten" | multi-column list box for short entries |
/// | 7 | "Dateiliste" | wide list box with a horizontal scroll bar for long paths |
/// | 8 | "Mehrfachauswahl (sortiert)" | sorted list box with multiple selection |
///
/// The dialog result flag becomes 1 (OK) or 2 (Cancel), as with "INPUT".
struct ListDialogRecord {
    /// Out: the chosen entry (the combo box's text); with multiple selection the chosen entries in
    /// list order joined by the `listdel` switch; "" when nothing is chosen or after Cancel.
    RtString* answer;
    /// The template, 1 to 8.
    int32_t variant;
};

/// Main thread: the dialog procedure of the templates "LDIALOG" and of resource dialogs (requests
/// 0xA004, 0xA005): OK and Cancel close the dialog.
INT_PTR CALLBACK template_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
/// Main thread: the dialog procedure of the edit dialog (request 0xA00E; lParam of WM_INITDIALOG
/// an EditDialogRecord).
INT_PTR CALLBACK edit_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
/// Main thread: the dialog procedure of the list dialogs (request 0xA00F; lParam of WM_INITDIALOG
/// a ListDialogRecord).
INT_PTR CALLBACK list_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
/// Main thread: the dialog procedure of "INPUT" (request 0xA010; lParam of WM_INITDIALOG an
/// InputDialogRecord).
INT_PTR CALLBACK input_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
