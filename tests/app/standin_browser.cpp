// A stand-in for the browser in the gallery builder's end-to-end tests. It records its command
// line, copies the page it was given and, as its viewer closes, the feed beside it (both are
// deleted later), shows a page window titled like a browser showing the page, gives it the viewer's
// title and then the page's again, and records the close messages its page window receives
// (WM_CLOSE closes it). Everything goes to the folder named by RT_STANDIN_LOG. RT_STANDIN_VIEWER
// names the viewer's title ("none": no viewer ever appears). RT_STANDIN_PAGE_DELAY holds the page
// window back that many milliseconds; RT_STANDIN_SHOW_MS is how long after the page the viewer comes
// (600 ms), and it stays twice as long. With RT_STANDIN_AFTER_VIEWER=decoy the page window goes with
// the viewer, as when the user closes the browser, and a folder window titled
// "View Gallery - Ordner" takes its place.
//   standin_browser.exe ... -new-window PAGE   as the gallery builder starts a browser; with an
//                                              instance running it hands the page over and ends
//   standin_browser.exe --manual               only the windows (the test starts it itself)
//   standin_browser.exe --shell FILE           as the shell opens a page: record and end
//   standin_browser.exe --decoy TITLE          only a window titled TITLE, recording to decoy.txt
//   standin_browser.exe --instance [tab]       a browser running already, with a window titled
//                                              "Inbox (3) - Stand-in": it takes a page handed over
//                                              (recording instance.txt) into a new window, or into
//                                              that one as a tab
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kShowViewer = 1;
constexpr UINT_PTR kCloseViewer = 2;
constexpr UINT_PTR kGiveUp = 3;

std::string g_log_folder;
std::string g_viewer_title = "PicLens Lite - 1 / 3";
bool g_decoy_after_viewer = false;
bool g_tab = false;
UINT g_page_delay = 0;
UINT g_show_ms = 600;
UINT_PTR g_page_timer = 0;  // the page window comes when it fires
HWND g_page = nullptr;
std::string g_page_path;
HINSTANCE g_instance = nullptr;

void write_file(const std::string& name, const std::string& bytes, bool append = false) {
    HANDLE file = CreateFileA((g_log_folder + name).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string read_file(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

bool is_close_message(UINT message) {
    return message == WM_CLOSE || message == WM_QUERYENDSESSION || message == WM_QUIT || message == WM_ENDSESSION;
}

const char kPageTitle[] = "view gallery - Stand-in Browser";
const char kInstanceTitle[] = "Inbox (3) - Stand-in";

void record_close_message(const char* log, UINT message, WPARAM wparam, LPARAM lparam) {
    char line[64];
    std::snprintf(line, sizeof line, "0x%04X %u %ld\r\n", message, static_cast<unsigned>(wparam),
                  static_cast<long>(lparam));
    write_file(log, line, true);
}

HWND make_window(const char* class_name, const char* title, int x) {
    return CreateWindowExA(0, class_name, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, x, 400, 300, nullptr, nullptr,
                           g_instance, nullptr);
}

// The page's path is the text after " -new-window "; "" without one.
std::string page_path(const std::string& command_line) {
    const std::string option = " -new-window ";
    size_t at = command_line.find(option);
    return at == std::string::npos ? "" : command_line.substr(at + option.size());
}

// The feed beside the page, as the viewer reads it: at the end of the show, its latest read.
void record_feed() {
    if (!g_page_path.empty()) {
        write_file("feed.rss", read_file(g_page_path.substr(0, g_page_path.find_last_of('\\') + 1) + "feed.rss"));
    }
}

// A window that only looks like the page by its title: any close message it gets is a fault.
LRESULT CALLBACK decoy_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (is_close_message(message)) {
        record_close_message("decoy.txt", message, wparam, lparam);
    }
    if (message == WM_DESTROY || (message == WM_TIMER && wparam == kGiveUp)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (is_close_message(message)) {
        record_close_message("messages.txt", message, wparam, lparam);
        if (message == WM_CLOSE) {
            DestroyWindow(window);
        }
        return message == WM_QUERYENDSESSION ? TRUE : 0;
    }
    switch (message) {
        case WM_APP:  // a page handed over to the instance
            write_file("instance.txt", "");
            g_page_timer = SetTimer(nullptr, 0, g_page_delay, nullptr);
            return 0;
        case WM_TIMER:
            if (wparam == kShowViewer) {
                KillTimer(window, kShowViewer);
                SetWindowTextA(window, g_viewer_title.c_str());
                SetTimer(window, kCloseViewer, 2 * g_show_ms, nullptr);
            } else if (wparam == kCloseViewer) {
                KillTimer(window, kCloseViewer);
                record_feed();
                if (g_decoy_after_viewer) {
                    // The page window is gone with the viewer: the gallery builder must find it gone.
                    SetTimer(make_window("StandInDecoy", "View Gallery - Ordner", 100), kGiveUp, 1500, nullptr);
                    g_page = nullptr;
                    DestroyWindow(window);
                } else {
                    SetWindowTextA(window, kPageTitle);
                }
            } else if (wparam == kGiveUp) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            if (g_page == window) {
                PostQuitMessage(0);
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

void show_page() {
    if (g_tab) {
        SetWindowTextA(g_page, kPageTitle);
    } else {
        g_page = make_window("StandInBrowser", kPageTitle, 0);
    }
    LARGE_INTEGER shown;
    QueryPerformanceCounter(&shown);
    write_file("page_shown.txt", std::to_string(shown.QuadPart));
    if (g_viewer_title != "none") {
        SetTimer(g_page, kShowViewer, g_show_ms, nullptr);
    }
    SetTimer(g_page, kGiveUp, 120000, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    g_instance = instance;
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("RT_STANDIN_LOG", folder, sizeof folder);
    g_log_folder = folder;
    char viewer[64] = {};
    if (GetEnvironmentVariableA("RT_STANDIN_VIEWER", viewer, sizeof viewer) > 0) {
        g_viewer_title = viewer;
    }
    // The moment of the launch, for the benchmark (the counter is the same in every process).
    write_file("started.txt", std::to_string(started.QuadPart));
    char after_viewer[16] = {};
    GetEnvironmentVariableA("RT_STANDIN_AFTER_VIEWER", after_viewer, sizeof after_viewer);
    g_decoy_after_viewer = std::string(after_viewer) == "decoy";
    std::string command_line = GetCommandLineA();
    bool shell = command_line.find(" --shell ") != std::string::npos;
    bool manual = command_line.find(" --manual") != std::string::npos;
    size_t decoy = command_line.find(" --decoy ");
    bool as_instance = command_line.find(" --instance") != std::string::npos;
    g_tab = command_line.find(" --instance tab") != std::string::npos;
    if (decoy == std::string::npos && !as_instance) {
        write_file(shell ? "shell.txt" : (manual ? "manual.txt" : "commandline.txt"), command_line);
    }
    if (shell) {
        return 0;
    }
    if (!manual && !as_instance && decoy == std::string::npos) {
        HWND running = FindWindowA("StandInBrowser", kInstanceTitle);
        if (running != nullptr) {
            PostMessageA(running, WM_APP, 0, 0);
            return 0;
        }
        g_page_path = page_path(command_line);
        write_file("page.htm", read_file(g_page_path));
    }

    const struct {
        const char* name;
        WNDPROC procedure;
    } classes[] = {{"StandInBrowser", page_proc}, {"StandInDecoy", decoy_proc}};
    for (const auto& c : classes) {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = c.procedure;
        window_class.hInstance = instance;
        window_class.lpszClassName = c.name;
        RegisterClassA(&window_class);
    }

    char delay[16] = {};
    GetEnvironmentVariableA("RT_STANDIN_PAGE_DELAY", delay, sizeof delay);
    g_page_delay = static_cast<UINT>(std::atoi(delay));
    if (GetEnvironmentVariableA("RT_STANDIN_SHOW_MS", delay, sizeof delay) > 0) {
        g_show_ms = static_cast<UINT>(std::atoi(delay));
    }
    if (decoy != std::string::npos) {
        SetTimer(make_window("StandInDecoy", command_line.substr(decoy + 9).c_str(), 200), kGiveUp, 120000, nullptr);
    } else if (as_instance) {
        g_page = make_window("StandInBrowser", kInstanceTitle, 0);
    } else if (g_page_delay > 0) {
        // As a browser that is running already: the new process is idle at once, the window comes later.
        g_page_timer = SetTimer(nullptr, 0, g_page_delay, nullptr);
    } else {
        show_page();
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == g_page_timer) {
            KillTimer(nullptr, g_page_timer);
            show_page();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    write_file("ended.txt", "ended");
    return 0;
}
