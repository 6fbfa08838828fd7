// The gallery builder's program body: finds the browser, collects the pictures below a folder,
// writes the feed and the page into the temp folder below the Windows folder, opens the page, waits
// for the viewer to come and go, closes the browser window and removes both files.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "app/feed.h"
#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
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
const int32_t kProgramFilesFolder = 38;   // CSIDL_PROGRAM_FILES
const int32_t kUsableBrowserSize = 1000;  // a browser must be larger than this
const DWORD kPageWindowWait = 60000;
const DWORD kViewerWindowWait = 10000;
const int32_t kPollInterval = 100;
const int32_t kChannel = 1;
const UINT kCloseWait = 10000;  // a browser that does not answer the close in time is left alone
// Held from writing the two files to deleting them: a second run waits, so that it neither
// overwrites nor deletes the files of the first while its browser reads them. Global, as the temp
// folder below the Windows folder is the machine's.
const char kFilesMutex[] = "Global\\gallery-builder-temp-files";
const int32_t kCannotCreate = 301;  // "Datei kann nicht erzeugt werden: "
const int32_t kWriteFailed = 303;   // "Fehler beim Schreiben: "

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
    int32_t located =
        invoke_external(kShell32, RtString("SHGetSpecialFolderLocation"), 3, reinterpret_cast<uint32_t>(owner),
                        static_cast<uint32_t>(param_int(1)), reinterpret_cast<uint32_t>(&item_list));
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

// Writes text and a line break as the file name; 0, or the file error when it cannot. A file that
// cannot be opened for writing is left as it was (an old one is not this run's); one whose text or
// close failed is removed.
int32_t write_file(const RtString& name, const RtString& text) {
    assign_file(kChannel, name);
    rewrite_file(kChannel);
    if (io_result != 0) {
        return kCannotCreate;
    }
    print_to_file(kChannel, text, 2, 1);
    int32_t printed = io_result;
    close_file(kChannel);
    if (printed != 0 || io_result != 0) {
        erase_file(kChannel);
        return kWriteFailed;
    }
    return 0;
}

void erase(const RtString& name) {
    assign_file(kChannel, name);
    erase_file(kChannel);
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

// True when the window's title begins with the page's title, case ignored.
bool is_page_titled(HWND window) {
    const size_t length = sizeof kPageTitle - 1;
    char title[sizeof kPageTitle + 1] = {};
    if (GetWindowTextA(window, title, sizeof title) < static_cast<int>(length)) {
        return false;
    }
    CharLowerBuffA(title, length);
    return std::memcmp(title, kPageTitle, length) == 0;
}

BOOL CALLBACK collect_page_titled(HWND window, LPARAM windows) {
    if (is_page_titled(window)) {
        reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> page_titled_windows() {
    std::vector<HWND> windows;
    EnumWindows(collect_page_titled, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The browser window that shows this run's page: the first window titled like the page that was
// not there before the browser was started, and the process it belongs to.
struct PageWindow {
    HWND window = nullptr;
    DWORD process = 0;
};

bool find_new_page_window(const std::vector<HWND>& before, PageWindow* page) {
    for (HWND window : page_titled_windows()) {
        if (std::find(before.begin(), before.end(), window) == before.end()) {
            page->window = window;
            GetWindowThreadProcessId(window, &page->process);
            return true;
        }
    }
    return false;
}

PageWindow wait_for_page_window(const std::vector<HWND>& before) {
    PageWindow page;
    DWORD deadline = GetTickCount() + kPageWindowWait;
    int32_t found = find_new_page_window(before, &page) ? 1 : 0;
    push_b(found);
    while (found == 0) {
        pause(kPollInterval);
        if (past(deadline)) {
            break;
        }
        found = find_new_page_window(before, &page) ? 1 : 0;
    }
    pop_b(&found);
    return page;
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

// Asks the page window to close, as the user would; nothing that would end the whole browser. A
// window that is gone, belongs to another process by now, or shows something else is left alone.
void close_page_window(const PageWindow& page) {
    if (page.window == nullptr || !IsWindow(page.window)) {
        return;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(page.window, &process);
    if (process != page.process || !is_page_titled(page.window)) {
        return;
    }
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(page.window, WM_CLOSE, 1, 1, SMTO_ABORTIFHUNG, kCloseWait, &answer);
}

void release_mutex(HANDLE mutex) {
    if (mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
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

    // Should the worker end before it releases the mutex, the next run gets it as abandoned, which
    // makes it that run's all the same.
    HANDLE files_mutex = CreateMutexA(nullptr, FALSE, kFilesMutex);
    if (files_mutex != nullptr) {
        WaitForSingleObject(files_mutex, INFINITE);
    }
    RtString feed_file = temp_file("feed.rss");
    RtString page_file = temp_file("gallery.htm");
    int32_t error = write_file(feed_file, build_feed());
    RtString failed = feed_file;
    if (error == 0) {
        error = write_file(page_file, page_text(viewer_url()));
        failed = page_file;
        if (error != 0) {
            erase(feed_file);
        }
    }
    if (error != 0) {
        // No browser: it would show the previous gallery, or none.
        release_mutex(files_mutex);
        report_error(error, failed.c_str());
        return;
    }

    change_directory(program_directory());
    set_errorlevel(-1);
    if (!browser_found) {
        browser_path = short_path(concat(special_folder(kProgramFilesFolder), kFallbackBrowser));
    }
    // Windows titled like the page before the browser starts are not this run's page window.
    std::vector<HWND> before = page_titled_windows();
    if (file_size(browser_path) > kUsableBrowserSize) {
        // Quoted: where short names are off the path may hold blanks, and unquoted Windows would
        // try C:\Program.exe first.
        RtString command = concat(concat(concat(concat("\"", browser_path), "\""), kNewWindow), page_file);
        WinExec(command.c_str(), 0);
    } else {
        shell_execute(concat(program_directory(), "gallery.htm"), RtString(), 0);
    }
    set_errorlevel(0);

    PageWindow page = wait_for_page_window(before);
    wait_for_viewer_window();
    wait_while_viewer_open();
    close_page_window(page);

    erase(page_file);
    erase(feed_file);
    release_mutex(files_mutex);
}
