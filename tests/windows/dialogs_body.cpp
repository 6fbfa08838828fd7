// Test body for the dialog requests: each scenario (RT_SCENARIO) opens dialogs that the driving
// test answers from outside, and prints what came back as key=value lines.
#include <windows.h>

#include <string>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/system/hidden_list.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/dialogs.h"
#include "tests/support/body_output.h"

namespace {

void scenario_input() {
    for (int round = 1; round <= 2; ++round) {
        RtString text("Gast");
        InputDialogRecord record = {
            "Wie hei\xDF"
            "en Sie?",
            "Frage", &text};
        set_dialog_result_flag(0);
        post_request(kReqInputDialog, &record);
        body_printf("answer%d=[%s]", round, text.c_str());
        body_printf("flag%d=%d", round, dialog_result_flag());
    }
}

void scenario_edit() {
    for (int variant = 1; variant <= 2; ++variant) {
        RtString text("eins\r\nzwei");
        EditDialogRecord record = {&text, variant, -5};
        post_request(kReqEditDialog, &record);
        std::string shown;  // line ends spelled out, to keep one output line
        for (const char* c = text.c_str(); *c != 0; ++c) {
            shown += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : std::string(1, *c);
        }
        body_printf("text%d=[%s]", variant, shown.c_str());
        body_printf("result%d=%d", variant, record.result);
    }
}

void scenario_lists() {
    for (const char* entry : {"gamma", "alpha", "beta"}) {
        add_string(RtString(entry));
    }
    for (int variant = 0; variant <= 9; ++variant) {
        RtString answer("vorher");
        ListDialogRecord record = {&answer, variant};
        post_request(kReqListDialog, &record);
        body_printf("answer%d=[%s]", variant, answer.c_str());
        body_printf("flag%d=%d", variant, dialog_result_flag());
    }
}

HWND g_own_dialog = nullptr;
LPARAM g_own_init_param = 0;

INT_PTR CALLBACK own_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        g_own_init_param = lparam;
        InterlockedExchangePointer(reinterpret_cast<PVOID*>(&g_own_dialog), dialog);
        return TRUE;
    }
    return FALSE;
}

std::string caption(HWND window) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The modeless template dialogs: "LDIALOG" (0xA004, 0xA014) and any template by name or number
// (0xA005), each shown and visible.
void scenario_modeless() {
    TemplateDialogRecord frame = {};
    post_request(kReqModelessDialog, &frame);
    body_printf("frame=%s,%d", caption(frame.result).c_str(), IsWindowVisible(frame.result) ? 1 : 0);

    ResourceDialogRecord by_name = {"LISTBOX7", nullptr, g_core.instance, nullptr};
    post_request(kReqResourceDialog, &by_name);
    body_printf("by_name=%s,%d", caption(by_name.result).c_str(), IsWindowVisible(by_name.result) ? 1 : 0);
    // A template of another module: the Find dialog of the common dialogs, by its number.
    ResourceDialogRecord in_dll = {"1540", nullptr, LoadLibraryA("comdlg32.dll"), nullptr};
    post_request(kReqResourceDialog, &in_dll);
    body_printf("in_dll=%d", in_dll.result != nullptr && IsWindowVisible(in_dll.result) ? 1 : 0);
    ResourceDialogRecord missing = {"4711", nullptr, g_core.instance, nullptr};
    post_request(kReqResourceDialog, &missing);
    body_printf("missing=%d", missing.result != nullptr ? 1 : 0);

    OwnDialogRecord own = {{}, own_dialog_proc};
    post_request_nowait(kReqOwnDialog, reinterpret_cast<LPARAM>(&own));
    // Not waited for by the channel: the dialog is made and then shown on the main thread.
    auto shown = [] {
        HWND dialog = static_cast<HWND>(
            InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(&g_own_dialog), nullptr, nullptr));
        return dialog != nullptr && IsWindowVisible(dialog);
    };
    for (int i = 0; i < 500 && !shown(); ++i) {
        Sleep(10);
    }
    body_printf("own=%s,%d,%d", caption(g_own_dialog).c_str(), IsWindowVisible(g_own_dialog) ? 1 : 0,
                g_own_init_param == reinterpret_cast<LPARAM>(&own) ? 1 : 0);

    // The input and list dialogs when their template cannot be opened (a module without them
    // stands in for the program): the answer stays, the result flag says Cancel.
    HINSTANCE program = g_core.instance;
    g_core.instance = GetModuleHandleA("kernel32.dll");
    RtString text("Gast");
    InputDialogRecord input = {"Name?", "Frage", &text};
    set_dialog_result_flag(1);
    post_request(kReqInputDialog, &input);
    RtString answer("vorher");
    ListDialogRecord list = {&answer, 3};
    int32_t input_flag = dialog_result_flag();
    set_dialog_result_flag(1);
    post_request(kReqListDialog, &list);
    body_printf("no_template=[%s],%d,[%s],%d", text.c_str(), input_flag, answer.c_str(), dialog_result_flag());
    g_core.instance = program;
}

// 50,000 entries in a multiple-selection list, all chosen: the answer joins them all.
void scenario_big_list() {
    std::string expected;
    char entry[32];
    for (int i = 0; i < 50000; ++i) {
        wsprintfA(entry, "Eintrag %05d der Liste", i);
        add_string(RtString(entry));
        expected += (i == 0 ? "" : "|") + std::string(entry);
    }
    RtString answer;
    ListDialogRecord record = {&answer, 3};
    post_request(kReqListDialog, &record);
    body_printf("joined=%d,%d", answer.length, expected == answer.c_str() ? 1 : 0);
}

// Save mode with an empty filter and a long extension: the filter is "*." and that extension.
void scenario_save_dialog() {
    char buffer[292] = {};
    std::string name = "bericht." + std::string(60, 'x');
    name.copy(buffer, name.size());
    FileDialogRecord record = {1, "Bericht speichern", "", buffer};
    post_request(kReqFileDialog, &record);
    body_printf("file=[%s]", buffer);
}

}  // namespace

void program_body() {
    std::string scenario = body_scenario();
    if (scenario == "input") {
        scenario_input();
    } else if (scenario == "edit") {
        scenario_edit();
    } else if (scenario == "lists") {
        scenario_lists();
    } else if (scenario == "modeless") {
        scenario_modeless();
    } else if (scenario == "save_dialog") {
        scenario_save_dialog();
    } else if (scenario == "big_list") {
        scenario_big_list();
    }
    body_print("end");
}
