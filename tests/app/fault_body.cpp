// Test body for the fault sweep, built with the fault layer, which fails one chosen call: one
// scenario (RT_SCENARIO) of runtime calls, its results printed as lines "io <step>=<io result>",
// "entry <search> <path>" and "value <name>=<text>". RT_FAULT_FOLDER is where it writes and reads.
#include <windows.h>

#include <string>
#include <thread>

#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/core/requests.h"
#include "runtime/program/program_body.h"
#include "runtime/system/file_access.h"
#include "runtime/system/file_list.h"
#include "runtime/system/ini_registry.h"
#include "runtime/system/system_helpers.h"
#include "runtime/windows/text_output.h"
#include "tests/support/body_output.h"

namespace {

RtString in_folder(const char* name) {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("RT_FAULT_FOLDER", folder, sizeof folder);
    return RtString((std::string(folder) + name).c_str());
}

void io(const char* step) {
    body_printf("io %s=%d", step, io_result);
}

// 300 lines of 28 bytes: more than a block of the C library's buffer.
void write_lines(int32_t channel, int lines) {
    for (int i = 0; i < lines; ++i) {
        print_to_file(channel, RtString("a line of text, 26 bytes.."), 2, 1);
    }
}

// A channel written and opened again while open, then closed; another left open at the end.
void channels() {
    assign_file(1, in_folder("a.txt"));
    rewrite_file(1);
    io("rewrite a");
    write_lines(1, 300);
    io("print a");
    assign_file(1, in_folder("b.txt"));
    rewrite_file(1);
    io("reopen b");
    write_lines(1, 300);
    io("print b");
    close_file(1);
    io("close b");
    assign_file(2, in_folder("c.txt"));
    rewrite_file(2);
    io("rewrite c");
    write_lines(2, 300);
    io("print c");
}

// The text window closed, as by the user, while the body writes a channel: the process ends there.
void window_closed() {
    print_text(RtString("writing"), 2, false, false);
    assign_file(1, in_folder("w.txt"));
    rewrite_file(1);
    HWND text_window = g_core.text_window;
    std::thread([text_window] {
        Sleep(300);
        PostMessageA(text_window, WM_CLOSE, 0, 0);
    }).detach();
    for (;;) {
        write_lines(1, 10);
    }
}

// From a folder beside the tree: a pattern with a folder part, one below it with a name the code
// page spells but ASCII does not, and the current folder's own.
void search() {
    const char* patterns[] = {"..\\tree\\*.jpg",
                              "..\\tree\\Stra\xDF"
                              "e\\*.jpg",
                              "*.jpg"};
    for (int i = 0; i < 3; ++i) {
        size_t before = file_list.size();
        add_files(RtString(patterns[i]), 1);
        for (size_t e = before; e < file_list.size(); ++e) {
            body_printf("entry %d %s", i, file_list[e].c_str());
        }
    }
}

void settings() {
    body_printf("value ini=%s", read_ini(in_folder("settings.ini"), RtString("gallery"), RtString("folder")).c_str());
    body_printf("value registry=%s",
                read_ini(RtString("HKEY_1"), RtString("Software\\rt_fault_sweep"), RtString("folder")).c_str());
}

void external() {
    RtString library = concat(program_directory(), "ext_test.dll");
    body_printf("value external=%d", invoke_external(library, RtString("zero_std"), 0));
}

void posted() {
    int32_t pending = -1;
    post_request(kReqInputPending, &pending);
    body_printf("value posted=%d", pending);
}

}  // namespace

void program_body() {
    const struct {
        const char* name;
        void (*run)();
    } scenarios[] = {{"channels", channels}, {"window", window_closed}, {"search", search},
                     {"settings", settings}, {"external", external},    {"posted", posted}};
    for (const auto& s : scenarios) {
        if (body_scenario() == s.name) {
            s.run();
        }
    }
}
