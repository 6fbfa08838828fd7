// A stand-in for the browser in the gallery builder's end-to-end tests. It records its command
// line, copies the page and the feed it was given (they are deleted later), shows a page window
// titled like a browser showing the page, then a viewer window, closes the viewer, and records the
// close messages its page window receives. Everything goes to the folder named by RT_STANDIN_LOG.
// RT_STANDIN_VIEWER names the viewer window's title ("none": no viewer ever appears).
//   standin_browser.exe ... -new-window PAGE   as the gallery builder starts a browser
//   standin_browser.exe --manual               only the windows (the test starts it itself)
//   standin_browser.exe --shell FILE           as the shell opens a page: record and end
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT_PTR kShowViewer = 1;
constexpr UINT_PTR kCloseViewer = 2;
constexpr UINT_PTR kGiveUp = 3;

std::string g_log_folder;
std::string g_viewer_title = "PicLens Lite - 1 / 3";
HWND g_viewer = nullptr;
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

LRESULT CALLBACK viewer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (is_close_message(message)) {
        char line[64];
        std::snprintf(line, sizeof line, "0x%04X %u %ld\r\n", message, static_cast<unsigned>(wparam),
                      static_cast<long>(lparam));
        write_file("messages.txt", line, true);
        if (message == WM_QUERYENDSESSION) {
            return TRUE;
        }
        if (message == WM_ENDSESSION) {
            DestroyWindow(window);  // the last of the four
        }
        return 0;
    }
    switch (message) {
        case WM_TIMER:
            if (wparam == kShowViewer) {
                KillTimer(window, kShowViewer);
                g_viewer = CreateWindowExA(0, "StandInViewer", g_viewer_title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           50, 50, 300, 200, nullptr, nullptr, g_instance, nullptr);
                SetTimer(window, kCloseViewer, 1200, nullptr);
            } else if (wparam == kCloseViewer) {
                KillTimer(window, kCloseViewer);
                DestroyWindow(g_viewer);
                g_viewer = nullptr;
            } else if (wparam == kGiveUp) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

// The page's path is the text after " -new-window "; the feed lies beside it.
void record_documents(const std::string& command_line) {
    const std::string option = " -new-window ";
    size_t at = command_line.find(option);
    if (at == std::string::npos) {
        return;
    }
    std::string page = command_line.substr(at + option.size());
    write_file("page.htm", read_file(page));
    std::string folder = page.substr(0, page.find_last_of('\\') + 1);
    write_file("feed.rss", read_file(folder + "feed.rss"));
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
    std::string command_line = GetCommandLineA();
    bool shell = command_line.find(" --shell ") != std::string::npos;
    bool manual = command_line.find(" --manual") != std::string::npos;
    write_file(shell ? "shell.txt" : (manual ? "manual.txt" : "commandline.txt"), command_line);
    if (shell) {
        return 0;
    }
    if (!manual) {
        record_documents(command_line);
    }

    WNDCLASSA page_class = {};
    page_class.lpfnWndProc = page_proc;
    page_class.hInstance = instance;
    page_class.lpszClassName = "StandInBrowser";
    RegisterClassA(&page_class);
    WNDCLASSA viewer_class = {};
    viewer_class.lpfnWndProc = viewer_proc;
    viewer_class.hInstance = instance;
    viewer_class.lpszClassName = "StandInViewer";
    RegisterClassA(&viewer_class);

    HWND page = CreateWindowExA(0, "StandInBrowser", "view gallery - Stand-in Browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 400, 300, nullptr, nullptr, instance, nullptr);
    LARGE_INTEGER shown;
    QueryPerformanceCounter(&shown);
    write_file("page_shown.txt", std::to_string(shown.QuadPart));
    if (g_viewer_title != "none") {
        SetTimer(page, kShowViewer, 600, nullptr);
    }
    SetTimer(page, kGiveUp, 120000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    write_file("ended.txt", "ended");
    return 0;
}
