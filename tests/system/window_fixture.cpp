// Test fixture: a plain Win32 program that opens top-level windows with the titles given on its
// command line ("!" in front: the window stays hidden), sets the named ready event, and keeps its
// windows until the named quit event is set (30 s at most).
// Usage: window_fixture READY_EVENT QUIT_EVENT TITLE...
// Without arguments (started through the shell) it shows one window titled
// "rt system shell fixture" for 10 seconds.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK fixture_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

void open_window(const char* title) {
    bool hidden = title[0] == '!';
    HWND w = CreateWindowExA(0, "RtSystemFixture", hidden ? title + 1 : title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (w != nullptr && !hidden) {
        ShowWindow(w, SW_SHOWNOACTIVATE);
    }
}

// Handles messages (titles are read across processes) until the event is set or time runs out.
void pump_until(HANDLE quit, DWORD timeout_ms) {
    DWORD end = GetTickCount() + timeout_ms;
    for (;;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0) {
            return;
        }
        DWORD waited = MsgWaitForMultipleObjects(quit != nullptr ? 1 : 0, &quit, FALSE, end - now, QS_ALLINPUT);
        if (waited == WAIT_OBJECT_0 && quit != nullptr) {
            return;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = fixture_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RtSystemFixture";
    RegisterClassA(&wc);
    if (argc < 3) {
        open_window("rt system shell fixture");
        pump_until(nullptr, 10000);
        return 0;
    }
    for (int i = 3; i < argc; ++i) {
        open_window(argv[i]);
    }
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
    if (ready != nullptr) {
        SetEvent(ready);
    }
    pump_until(quit, 30000);
    return 0;
}
