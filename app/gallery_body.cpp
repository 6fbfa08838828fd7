// The gallery builder's program body: finds the browser, collects the pictures below a folder,
// writes the feed and the page into the temp folder below the Windows folder, opens the page, waits
// for the viewer to come and go, closes the browser window and removes both files.
#include <windows.h>

#include <cstdarg>

#include "app/browser_windows.h"
#include "app/feed.h"
#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/external.h"
#include "runtime/core/lifecycle.h"
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
// The builder's own reports: a code outside the runtime's table, so the message is the argument.
const int32_t kOwnMessage = 1000;
const char kNotRemoved[] = "Datei kann nicht entfernt werden: ";
const DWORD kRemoveRetryMs = 2000;
const DWORD kRemoveRetryStepMs = 50;

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

// The folder of the builder's two files: the temp folder below the Windows folder, named from the
// Windows folder's short form, or its long form when it has none; always absolute, so that no
// change of the current folder or drive moves the files. "" when the Windows folder cannot be had.
RtString temp_folder() {
    RtString windows = windows_directory();
    if (windows.length == 0) {
        return windows;
    }
    RtString folder = short_path(windows);
    if (folder.length == 0) {
        folder = windows;
    }
    folder.append_cstring("\\temp\\");
    return folder;
}

// The files this run made, until it has removed them: their names in static buffers, so that an end
// that comes first removes them without the heap (it may be heap exhaustion).
enum OurFile { kPage, kFeed };  // removed in this order
char g_our_files[2][MAX_PATH + 16];

void note_ours(OurFile file, const RtString& name) {
    lstrcpynA(g_our_files[file], name.c_str(), sizeof g_our_files[file]);
}

// Removes a file; a deletion refused by a sharing violation (the browser still reading it) is
// tried again for up to kRemoveRetryMs. True when the file is gone.
bool remove_file(const char* name) {
    DWORD start = GetTickCount();
    for (;;) {
        if (DeleteFileA(name)) {
            return true;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return true;
        }
        if (error != ERROR_SHARING_VIOLATION || GetTickCount() - start >= kRemoveRetryMs) {
            return false;
        }
        Sleep(kRemoveRetryStepMs);
    }
}

// Removes the run's files that are still there; the names of those that remain, joined by ", ".
RtString remove_our_files() {
    RtString left;
    for (char* name : g_our_files) {
        if (name[0] != 0 && !remove_file(name)) {
            left = left.length == 0 ? RtString(name) : concat(concat(left, ", "), name);
        }
        name[0] = 0;
    }
    return left;
}

// The mutex that orders the runs, from its creation on (worker thread).
HANDLE g_files_mutex = nullptr;

// Releases the mutex when this thread holds it, and closes it.
void release_mutex() {
    if (g_files_mutex != nullptr) {
        ReleaseMutex(g_files_mutex);
        CloseHandle(g_files_mutex);
        g_files_mutex = nullptr;
    }
}

// The builder's files at an end before its body finished (a fatal report, heap exhaustion): removed,
// and each that remains named in the builder's own report, all without the heap. On the worker,
// which holds it, the mutex is released: the next run need not take it over as abandoned.
void remove_files_at_end(EndWay way, bool) {
    static char message[MAX_PATH + 64];
    for (char* name : g_our_files) {
        if (name[0] != 0 && !remove_file(name)) {
            wsprintfA(message, "%s%s", kNotRemoved, name);
            report_at_end(kOwnMessage, message);
        }
        name[0] = 0;
    }
    if (way == kEndWorkerEnds) {
        release_mutex();
    }
}

// Writes text and a line break as the file name; 0, or the file error when it cannot. A file that
// cannot be opened for writing is left as it was (an old one is not this run's); one whose text or
// close failed is removed.
int32_t write_file(OurFile file, const RtString& name, const RtString& text) {
    assign_file(kChannel, name);
    rewrite_file(kChannel);
    if (io_result != 0) {
        return kCannotCreate;
    }
    note_ours(file, name);
    print_to_file(kChannel, text, 2, 1);
    int32_t printed = io_result;
    close_file(kChannel);
    if (printed != 0 || io_result != 0) {
        remove_our_files();
        return kWriteFailed;
    }
    return 0;
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

bool past(DWORD deadline) {
    return static_cast<int32_t>(GetTickCount() - deadline) > 0;
}

// Up to 60 s for the page window. A show that appears first, in a window the user already had,
// ends the wait too: that run has no page window of its own.
HWND wait_for_page_window(const gallery::BrowserWindows& browser) {
    DWORD deadline = GetTickCount() + kPageWindowWait;
    HWND page = browser.find_page();
    int32_t found = page != nullptr || browser.find_viewer(nullptr) != nullptr ? 1 : 0;
    push_b(found);
    while (found == 0) {
        pause(kPollInterval);
        if (past(deadline)) {
            break;
        }
        page = browser.find_page();
        found = page != nullptr || browser.find_viewer(nullptr) != nullptr ? 1 : 0;
    }
    pop_b(&found);
    return page;
}

HWND wait_for_viewer_window(const gallery::BrowserWindows& browser, HWND page) {
    DWORD deadline = GetTickCount() + kViewerWindowWait;
    HWND viewer = nullptr;
    int32_t found = 0;
    push_b(found);
    for (;;) {
        viewer = browser.find_viewer(page);
        found = viewer != nullptr ? 1 : 0;
        if (found != 0) {
            break;
        }
        pause(kPollInterval);
        if (past(deadline)) {
            break;
        }
    }
    pop_b(&found);
    return viewer;
}

// Follows the viewer window, not its title: the wait ends when that window is gone, shows
// something else (the show was closed, or the user went to another tab of its window), or the
// page window is gone. Windows titled like it elsewhere do not keep it going.
void wait_while_viewer_open(HWND viewer, HWND page) {
    DWORD process = 0;
    GetWindowThreadProcessId(viewer, &process);
    int32_t open = viewer != nullptr ? 1 : 0;
    push_b(open);
    while (open != 0) {
        DWORD now = 0;
        open = IsWindow(viewer) && GetWindowThreadProcessId(viewer, &now) != 0 && now == process &&
                       gallery::viewer_titled(viewer) && (page == nullptr || IsWindow(page))
                   ? 1
                   : 0;
        if (open != 0) {
            pause(kPollInterval);
        }
    }
    pop_b(&open);
}

// Asks the page window to close, as the user would; nothing that would end the whole browser. A
// window that is gone, belongs to another process by now, or shows something else is left alone.
void close_page_window(HWND page, DWORD process) {
    if (page == nullptr || !IsWindow(page)) {
        return;
    }
    DWORD now = 0;
    GetWindowThreadProcessId(page, &now);
    if (now != process || !gallery::page_titled(page)) {
        return;
    }
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(page, WM_CLOSE, 1, 1, SMTO_ABORTIFHUNG, kCloseWait, &answer);
}

// The German message of a mutex that cannot be made or waited for (\p what), with its cause.
RtString mutex_message(const char* what, DWORD error) {
    RtString message(what);
    message.append_cstring(kFilesMutex);
    message.append_cstring(" (");
    if (error == ERROR_INVALID_HANDLE) {
        message.append_cstring("Name von einem anderen Objekt belegt)");
    } else if (error == ERROR_ACCESS_DENIED) {
        message.append_cstring("Zugriff verweigert)");
    } else {
        char code[40];
        wsprintfA(code, "Windows-Fehler %lu)", error);
        message.append_cstring(code);
    }
    return message;
}

// Asks only for what the run needs (wait and release), so that a mutex another user's run made
// can be waited for too. Reports the failure (the run then writes nothing) and returns 0.
HANDLE create_files_mutex() {
    HANDLE mutex = CreateMutexExA(nullptr, kFilesMutex, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    if (mutex == nullptr) {
        report_error(kOwnMessage, mutex_message("Mutex kann nicht erzeugt werden: ", GetLastError()).c_str());
    }
    return mutex;
}

}  // namespace

void program_body() {
    g_switches.truecolor = 1;
    set_errorlevel(-1);

    RtString browser_path = registry_browser_path();
    bool browser_found = file_size(browser_path) > kUsableBrowserSize;
    set_errorlevel(0);

    // A folder that cannot be entered is named, not replaced by the current one.
    if (parameter_count() >= 1 && change_directory(parameter_string(1)) == 0) {
        report_error(kOwnMessage, concat("Ordner nicht gefunden: ", parameter_string(1)).c_str());
        return;
    }
    RtString temp = temp_folder();
    if (temp.length == 0) {
        report_error(kOwnMessage, "Windows-Ordner nicht gefunden!");
        return;
    }
    // Created before the scan, so that a run that cannot be serialised stops at once.
    g_files_mutex = create_files_mutex();
    if (g_files_mutex == nullptr) {
        return;
    }
    install_end_step(remove_files_at_end);
    add_files(RtString("*.JP*"), 1);
    add_files(RtString("*.GIF"), 1);
    add_files(RtString("*.PNG"), 1);

    // A run that ended without releasing the mutex leaves it abandoned: the wait then takes it over.
    if (WaitForSingleObject(g_files_mutex, INFINITE) == WAIT_FAILED) {
        DWORD cause = GetLastError();
        release_mutex();
        report_error(kOwnMessage, mutex_message("Auf den Mutex kann nicht gewartet werden: ", cause).c_str());
        return;
    }
    RtString feed_file = concat(temp, "feed.rss");
    RtString page_file = concat(temp, "gallery.htm");
    int32_t error = write_file(kFeed, feed_file, build_feed());
    RtString failed = feed_file;
    if (error == 0) {
        error = write_file(kPage, page_file, page_text(viewer_url()));
        failed = page_file;
        if (error != 0) {
            remove_our_files();
        }
    }
    if (error != 0) {
        // No browser: it would show the previous gallery, or none.
        release_mutex();
        report_error(error, failed.c_str());
        return;
    }

    change_directory(program_directory());
    set_errorlevel(-1);
    if (!browser_found) {
        browser_path = short_path(concat(special_folder(kProgramFilesFolder), kFallbackBrowser));
    }
    bool browser_usable = file_size(browser_path) > kUsableBrowserSize;
    // The windows there are before the browser starts are none of this run's page windows.
    gallery::BrowserWindows browser(browser_usable ? browser_path : RtString());
    // Quoted: where short names are off the path may hold blanks, and unquoted Windows would try
    // C:\Program.exe first. A browser that does not start counts as none.
    RtString command = concat(concat(concat(concat("\"", browser_path), "\""), kNewWindow), page_file);
    if (browser_usable && WinExec(command.c_str(), 0) < 32) {
        browser_usable = false;
        browser = gallery::BrowserWindows(RtString());
    }
    if (!browser_usable) {
        shell_execute(concat(program_directory(), "gallery.htm"), RtString(), 0);
    }
    set_errorlevel(0);

    HWND page = wait_for_page_window(browser);
    DWORD page_process = 0;
    GetWindowThreadProcessId(page, &page_process);
    wait_while_viewer_open(wait_for_viewer_window(browser, page), page);
    close_page_window(page, page_process);

    RtString left = remove_our_files();
    release_mutex();
    if (left.length != 0) {
        report_error(kOwnMessage, concat(kNotRemoved, left).c_str());
    }
}
