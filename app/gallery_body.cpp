// The gallery builder's program body: finds the browser, collects the pictures below a folder,
// writes the feed and the page into the temp folder below the Windows folder, opens the page, waits
// for the viewer to come and go, closes the browser window and removes both files.
#include <windows.h>

#include <cstdarg>

#include "app/feed.h"
#include "runtime/core/core_state.h"
#include "runtime/core/external.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/set_switch.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/system/file_access.h"
#include "runtime/system/file_list.h"
#include "runtime/system/ini_registry.h"
#include "runtime/system/system_helpers.h"
#include "runtime/values/areas.h"
#include "runtime/values/frames.h"
#include "runtime/values/string_functions.h"

namespace {

const char kBrowserKey[] = "Applications\\firefox.exe\\shell\\open\\command";
const char kFallbackBrowser[] = "\\Mozilla Firefox\\firefox.exe";
const char kNewWindow[] = " -new-window ";
const char kPageTitle[] = "view gallery";
const int32_t kProgramFilesFolder = 38;  // CSIDL_PROGRAM_FILES
const int32_t kUsableBrowserSize = 1000;  // a browser must be larger than this
const DWORD kPageWindowWait = 60000;
const DWORD kViewerWindowWait = 10000;
const int32_t kPollInterval = 100;
const int32_t kChannel = 1;
const UINT kCloseMessages[] = {WM_CLOSE, WM_QUERYENDSESSION, WM_QUIT, WM_ENDSESSION};

void set_errorlevel(int32_t level) {
    int32_t literal = level;
    RtValue argument = value_from_int(level, &literal);
    RtValue previous;
    set_switch(previous, RtString("errorlevel"), 1, &argument);
}

// The path of a shell special folder, "" when the shell has none. A procedure of the body: it
// takes the folder id through the parameter frames and returns its text through the result slot;
// its path buffer is an area variable, released before it returns.
RtValue& get_special_folder(RtValue& result, int32_t count, ...) {
    va_list arguments;
    va_start(arguments, count);
    take_arguments(count, arguments);
    va_end(arguments);

    static const RtString kShell32("SHELL32");
    static const RtString kOle32("OLE32");
    void* path_buffer = nullptr;
    area_dim(&path_buffer, MAX_PATH);
    uint32_t item_list = 0;
    RtString path;
    HWND owner = GetForegroundWindow();
    int32_t located = invoke_external(kShell32, RtString("SHGetSpecialFolderLocation"), 3,
                                      reinterpret_cast<uint32_t>(owner), static_cast<uint32_t>(param_int(1)),
                                      reinterpret_cast<uint32_t>(&item_list));
    if (located == 0 && path_buffer != nullptr &&
        invoke_external(kShell32, RtString("SHGetPathFromIDListA"), 2, item_list,
                        reinterpret_cast<uint32_t>(path_buffer)) != 0) {
        path.assign_cstring(static_cast<const char*>(path_buffer));
    }
    invoke_external(kOle32, RtString("CoTaskMemFree"), 1, item_list);
    value_from_text(path);
    area_dispose(&path_buffer);
    return return_result(result);
}

RtString special_folder(int32_t id) {
    int32_t literal = id;
    enter_frame();
    RtValue argument = value_from_int(id, &literal);
    RtValue result;
    get_special_folder(result, 1, &argument);
    return result.text;
}

// The browser's executable from the registry's open command: the text before any "%" and before
// ".exe", without quotes and blanks, in small letters, with ".exe" restored; then its short form.
RtString registry_browser_path() {
    RtString text = read_ini(RtString("HKEY_0"), RtString(kBrowserKey), RtString());
    text = string_lower(text);
    text = string_replace(text, RtString("\""), RtString());
    text = string_field(text, 1, RtString("%"));
    text = string_field(text, 1, RtString(".exe"));
    text = string_trim(text);
    text.append_cstring(".exe");
    return short_path(text);
}

RtString temp_file(const char* name) {
    RtString path = short_path(windows_directory());
    path.append_cstring("\\temp\\");
    path.append_cstring(name);
    return path;
}

void write_file(const RtString& name, const RtString& text) {
    assign_file(kChannel, name);
    rewrite_file(kChannel);
    print_to_file(kChannel, text, 2, 1);
    close_file(kChannel);
}

// Reads every list entry once; the loop variables are saved around the loop as every loop of the
// body does.
RtString build_feed() {
    int32_t i = 0;
    int32_t items = 0;
    int32_t limit = last_index + 1;
    push_b(i);
    push_a(items);
    push_b(limit);
    FeedBuilder feed(static_cast<size_t>(limit));
    for (i = 1; i <= limit; ++i) {
        feed.add_item(list_item(i - 1));
        ++items;
    }
    pop_b(&limit);
    pop_a(&items);
    pop_b(&i);
    return feed.finish();
}

// The viewer ships with the program: viewer\piclens.js in the program's folder, as a URL.
RtString viewer_url() {
    RtString path = concat(program_directory(), "viewer\\piclens.js");
    return concat("file:///", code_path(path));
}

bool window_titled(const char* title) {
    return find_window_by_title(RtString(title)) != nullptr;
}

bool viewer_open() {
    return window_titled("Cooliris") || window_titled("PicLens");
}

bool past(DWORD deadline) {
    return static_cast<int32_t>(GetTickCount() - deadline) > 0;
}

void wait_for_page_window() {
    DWORD deadline = GetTickCount() + kPageWindowWait;
    int32_t found = window_titled(kPageTitle) ? 1 : 0;
    push_b(found);
    while (found == 0) {
        pause(kPollInterval);
        if (past(deadline)) {
            break;
        }
        found = window_titled(kPageTitle) ? 1 : 0;
    }
    pop_b(&found);
}

void wait_for_viewer_window() {
    DWORD deadline = GetTickCount() + kViewerWindowWait;
    int32_t viewer = 0;
    push_b(viewer);
    for (;;) {
        viewer = viewer_open() ? 1 : 0;
        if (viewer != 0) {
            break;
        }
        pause(kPollInterval);
        if (past(deadline)) {
            break;
        }
    }
    pop_b(&viewer);
}

void wait_while_viewer_open() {
    int32_t viewer = 1;
    push_b(viewer);
    for (;;) {
        viewer = viewer_open() ? 1 : 0;
        if (viewer == 0) {
            break;
        }
        pause(kPollInterval);
    }
    pop_b(&viewer);
}

}  // namespace

void program_body() {
    g_switches.truecolor = 1;
    set_errorlevel(-1);

    RtString browser_path = registry_browser_path();
    bool browser_found = file_size(browser_path) > kUsableBrowserSize;
    set_errorlevel(0);

    if (parameter_count() >= 1) {
        change_directory(parameter_string(1));
    }
    add_files(RtString("*.JP*"), 1);
    add_files(RtString("*.GIF"), 1);
    add_files(RtString("*.PNG"), 1);

    write_file(temp_file("feed.rss"), build_feed());
    write_file(temp_file("gallery.htm"), page_text(viewer_url()));

    change_directory(program_directory());
    set_errorlevel(-1);
    if (!browser_found) {
        browser_path = short_path(concat(special_folder(kProgramFilesFolder), kFallbackBrowser));
    }
    if (file_size(browser_path) > kUsableBrowserSize) {
        RtString command = concat(concat(browser_path, kNewWindow), temp_file("gallery.htm"));
        WinExec(command.c_str(), 0);
    } else {
        shell_execute(concat(program_directory(), "gallery.htm"), RtString(), 0);
    }
    set_errorlevel(0);

    wait_for_page_window();
    wait_for_viewer_window();
    wait_while_viewer_open();

    for (UINT message : kCloseMessages) {
        SendMessageA(find_window_by_title(RtString(kPageTitle)), message, 1, 1);
    }

    assign_file(kChannel, temp_file("gallery.htm"));
    erase_file(kChannel);
    assign_file(kChannel, temp_file("feed.rss"));
    erase_file(kChannel);
}
