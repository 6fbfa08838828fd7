#include "runtime/windows/window_procs.h"

#include "runtime/core/core_state.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/windows/input_map.h"
#include "runtime/windows/window_state.h"

namespace {

// The move or size loop under way (one at a time): its window, the window's rectangle when it
// began, and whether its pause of the worker is still held.
struct SizeMove {
    HWND window;
    RECT before;
    bool paused;
};
SizeMove g_size_move = {nullptr, {0, 0, 0, 0}, false};

void set_field(volatile LONG& field, LONG value) {
    InterlockedExchange(&field, value);
}

bool autopaint_on() {
    return g_switches.autopaint.load() != 0;
}

// False when the backing bitmap cannot be made: a window without it would lose its text at the
// next repaint, so the window is refused (its creation fails) rather than made.
bool on_create(HWND window) {
    HDC dc = GetDC(window);  // the class owns its DC: kept for the window's life
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory_dc = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory_dc != nullptr ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (bitmap == nullptr) {
        if (memory_dc != nullptr) {
            DeleteDC(memory_dc);
        }
        return false;
    }
    g_windows.window_dc = dc;
    g_windows.drawing_dc = dc;
    g_windows.memory_dc = memory_dc;
    g_windows.backing_bitmap = bitmap;
    g_windows.backing_width = width;
    g_windows.backing_height = height;
    g_windows.first_bitmap = static_cast<HBITMAP>(SelectObject(g_windows.memory_dc, g_windows.backing_bitmap));
    RECT screen = {0, 0, width, height};
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(g_windows.memory_dc, &screen, white);
    for (HDC each : {dc, g_windows.memory_dc}) {
        SelectObject(each, white);
        SelectObject(each, GetStockObject(BLACK_PEN));
    }
    RECT client;
    GetClientRect(window, &client);
    g_windows.client_width = client.right;
    g_windows.client_height = client.bottom;
    g_windows.event_mode_copy = g_windows.event_mode;
    if (g_windows.no_menu == 0) {
        g_windows.menu = GetMenu(window);
    }
    return true;
}

// The paint DC is the window's own DC, which the worker prints on: both under the lock.
void on_paint(HWND window) {
    bool autopaint = autopaint_on();
    PAINTSTRUCT paint;
    EnterCriticalSection(&g_windows.lock);
    HDC dc = BeginPaint(window, &paint);
    if (autopaint) {
        const RECT& r = paint.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_windows.memory_dc, r.left, r.top, SRCCOPY);
    }
    EndPaint(window, &paint);
    LeaveCriticalSection(&g_windows.lock);
    if (!autopaint) {
        set_field(g_windows.repaint, 1);
        SetEvent(g_windows.input_events[0]);
    }
}

// The DC may be the window's own DC, which the worker prints on (a restore or maximise sends
// WM_ERASEBKGND outside BeginPaint): erased under the lock, as painted.
LRESULT on_erase_background(HWND window, WPARAM wparam, LPARAM lparam) {
    if (autopaint_on()) {
        return 0;
    }
    EnterCriticalSection(&g_windows.lock);
    LRESULT erased;
    auto background = reinterpret_cast<HGDIOBJ>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    if (background != GetStockObject(NULL_BRUSH)) {
        erased = DefWindowProcA(window, WM_ERASEBKGND, wparam, lparam);
    } else {
        auto dc = reinterpret_cast<HDC>(wparam);
        RECT update;
        GetClipBox(dc, &update);
        erased = FillRect(dc, &update, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))) != 0 ? 1 : 0;
    }
    LeaveCriticalSection(&g_windows.lock);
    return erased;
}

// True when the user confirmed (or no confirmation is asked).
bool close_confirmed(HWND window, int32_t ask, const RtString& question, const RtString& caption) {
    return ask == 0 || MessageBoxA(window, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

LRESULT on_close(HWND window) {
    if (!close_confirmed(window, g_windows.confirm_close, g_windows.confirm_question, g_windows.confirm_caption)) {
        return 0;
    }
    if (g_windows.event_mode != 0) {
        SetFocus(window);
        record_event(2, -2, kWakeSecond | kWakeFirst);
        return 0;
    }
    return DefWindowProcA(window, WM_CLOSE, 0, 0);
}

void on_destroy(HWND window) {
    if (window != g_core.text_window) {
        return;  // a window refused at its creation: the program goes on
    }
    // Asked first, so that a worker printing now ends at its next print instead of waiting for
    // the lock, which is held until the process ends: a print must not use the DCs deleted here.
    ask_worker_to_end();
    EnterCriticalSection(&g_windows.lock);
    if (g_windows.memory_dc != nullptr) {
        SelectObject(g_windows.memory_dc, g_windows.first_bitmap);
        DeleteObject(g_windows.backing_bitmap);
        DeleteDC(g_windows.memory_dc);
        g_windows.backing_bitmap = nullptr;
        g_windows.memory_dc = nullptr;
    }
    terminate_program();
}

void on_enter_key(HWND window) {
    if (GetKeyState(VK_RETURN) >= 0) {
        return;
    }
    HWND focus = GetFocus();
    if (focus != window) {
        SetFocus(GetWindow(focus, GW_HWNDNEXT));
    }
    set_field(g_windows.event_code, 13);
    wake_input_events(kWakeSecond | kWakeFirst);
}

void on_button_down(HWND window, LONG button, LPARAM lparam) {
    SetFocus(window);
    set_field(g_windows.click, button);
    set_field(g_windows.button_state, button);
    set_field(g_windows.mouse_x, static_cast<int16_t>(LOWORD(lparam)));
    set_field(g_windows.mouse_y, static_cast<int16_t>(HIWORD(lparam)));
    wake_input_events(kWakeFourth | kWakeFirst);
}

void on_key_down(HWND window, WPARAM wparam) {
    set_field(g_windows.key_down, 1);
    set_field(g_windows.key, LOWORD(wparam));
    if (g_windows.event_mode != 0) {
        wake_input_events(kWakeSecond | kWakeThird | kWakeFirst);
    } else {
        PostMessageA(window, WM_CHAR, wparam, 0);
    }
}

// The message carries 16 bits of the position; a drag of the thumb leaves all 32 in the track
// position, which is taken when it agrees with them. Otherwise the 16 bits are read as the range
// allows: signed only when the range reaches below 0.
int thumb_position(const SCROLLINFO& info, WPARAM wparam) {
    WORD low = HIWORD(wparam);
    if (static_cast<WORD>(info.nTrackPos) == low) {
        return info.nTrackPos;
    }
    return info.nMin < 0 ? static_cast<int16_t>(low) : low;
}

}  // namespace

// Set, never pulsed: a pulse reaches only a thread waiting at that instant, so a click or a close
// while the body is busy elsewhere would be lost. Each event resets itself when a wait takes it.
void wake_input_events(uint8_t mask) {
    // Second, third and fourth first: the first event tells a waiting body that the others are set.
    for (int i : {1, 2, 3, 0}) {
        HANDLE event = g_windows.input_events[i];
        if ((mask & (1u << i)) != 0 && event != nullptr) {
            SetEvent(event);
        }
    }
}

void record_event(LONG code, LONG key, uint8_t mask) {
    set_field(g_windows.event_code, code);
    set_field(g_windows.key, key);
    wake_input_events(mask);
}

namespace {

// The loop has ended (or will end without WM_EXITSIZEMOVE reaching the window). The loop may have
// taken the WM_QUIT that ends the program.
void end_size_move_pause(HWND window) {
    if (window == nullptr || window != g_size_move.window || !g_size_move.paused) {
        return;
    }
    g_size_move.paused = false;
    resume_worker();
    repost_swallowed_quit();
}

// The worker is not suspended (it might hold the heap's or a GDI lock that the size loop needs):
// it waits at its next drawing step or request. A drawing step already under way is waited for.
void enter_size_move(HWND window) {
    end_size_move_pause(g_size_move.window);
    g_size_move.window = window;
    GetWindowRect(window, &g_size_move.before);
    g_size_move.paused = true;
    pause_worker();
    EnterCriticalSection(&g_windows.lock);
    LeaveCriticalSection(&g_windows.lock);
}

void leave_size_move(HWND window) {
    end_size_move_pause(window);
    if (window != g_size_move.window) {
        return;
    }
    g_size_move.window = nullptr;
    RECT now;
    GetWindowRect(window, &now);
    const RECT& before = g_size_move.before;
    if (now.right - now.left == before.right - before.left && now.bottom - now.top == before.bottom - before.top) {
        return;
    }
    set_field(g_windows.event_code, 4);
    wake_input_events(kWakeSecond | kWakeFirst);
    Sleep(0);
}

}  // namespace

void track_size_move(HWND window, UINT message, LPARAM lparam) {
    switch (message) {
        case WM_ENTERSIZEMOVE:
            enter_size_move(window);
            return;
        case WM_EXITSIZEMOVE:
            leave_size_move(window);
            return;
        case WM_CAPTURECHANGED:
            // The loop holds the capture from its start to its end.
            if (reinterpret_cast<HWND>(lparam) != window) {
                end_size_move_pause(window);
            }
            return;
        case WM_DESTROY:
            end_size_move_pause(window);
            if (window == g_size_move.window) {
                g_size_move.window = nullptr;
            }
            return;
        default:
            return;
    }
}

LRESULT handle_scroll(HWND window, UINT message, WPARAM wparam, LPARAM lparam, WNDPROC default_proc) {
    auto bar = reinterpret_cast<HWND>(lparam);
    if (bar == nullptr) {
        return default_proc != nullptr ? CallWindowProcA(default_proc, window, message, wparam, lparam) : 0;
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &info);
    int page = (info.nMax > info.nMin ? info.nMax - info.nMin : info.nMin - info.nMax) / 10;
    int request = LOWORD(wparam);
    switch (request) {
        case SB_LINEUP:
            if (info.nPos != 0) {
                --info.nPos;
            }
            break;
        case SB_LINEDOWN:
            if (info.nPos < info.nMax) {
                ++info.nPos;
            }
            break;
        case SB_PAGEUP:
            info.nPos -= page;
            break;
        case SB_PAGEDOWN:
            info.nPos += page;
            break;
        case SB_THUMBPOSITION:
            info.nPos = thumb_position(info, wparam);
            break;
        case SB_TOP:
            info.nPos = info.nMin;
            break;
        case SB_BOTTOM:
            info.nPos = info.nMax;
            break;
        default:
            break;
    }
    info.fMask = SIF_POS;
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    if (request == SB_ENDSCROLL) {
        if (default_proc != nullptr) {
            CallWindowProcA(default_proc, window, message, wparam, lparam);
        }
        set_field(g_windows.control, GetDlgCtrlID(bar));
        set_field(g_windows.event_code, 255);
        wake_input_events(kWakeFirst);
    }
    return 0;
}

bool record_mapped_input(UINT message, WPARAM wparam, LPARAM lparam) {
    if (!is_mapped_input_message(message)) {
        return false;
    }
    InputMessage input = {message, static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam), 0, 0};
    if (message == WM_NOTIFY && lparam != 0) {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        input.notify_id = static_cast<int32_t>(header->idFrom);
        input.notify_code = static_cast<int32_t>(header->code);
    } else if (message == WM_HELP && lparam != 0) {
        input.notify_id = reinterpret_cast<const HELPINFO*>(lparam)->iCtrlId;
    }
    InputEvent event = map_input_event(input, g_switches.messagemode.load());
    if (!event.recorded) {
        return true;
    }
    set_field(g_windows.control, event.control);
    if (event.mouse) {
        set_field(g_windows.mouse_x, event.mouse_x);
        set_field(g_windows.mouse_y, event.mouse_y);
    }
    if (event.click != 0) {
        set_field(g_windows.click, event.click);
    }
    record_event(event.event_code, event.key, event.wake);
    return true;
}

LRESULT CALLBACK text_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, window, wparam, lparam);
    track_size_move(window, message, lparam);
    if (message == WM_PARENTNOTIFY && (LOWORD(wparam) == WM_CREATE || LOWORD(wparam) == WM_DESTROY)) {
        InterlockedIncrement(&g_windows.child_changes);
    }
    switch (message) {
        case WM_CREATE:
            return on_create(window) ? 0 : -1;
        case WM_PAINT:
            on_paint(window);
            return 0;
        case WM_ERASEBKGND:
            return on_erase_background(window, wparam, lparam);
        case WM_CLOSE:
            return on_close(window);
        case WM_DESTROY:
            on_destroy(window);
            return 0;
        case WM_SIZE:
            if (wparam == SIZE_RESTORED || wparam == SIZE_MINIMIZED || wparam == SIZE_MAXIMIZED) {
                set_field(g_windows.event_code, 4);
                wake_input_events(kWakeSecond | kWakeFirst);
            }
            break;
        case WM_SETFOCUS:
            g_windows.focused = window;
            if (GetForegroundWindow() != window) {
                SetForegroundWindow(window);
            }
            return 0;
        case WM_KILLFOCUS:
            if (g_windows.focused == window) {
                g_windows.focused = GetFocus();
            }
            return 0;
        case WM_ACTIVATE:
            if (g_windows.event_mode_copy == 0) {
                break;
            }
            g_core.current_dialog = LOWORD(wparam) != WA_INACTIVE ? window : nullptr;
            return 0;
        case WM_USER:
            on_enter_key(window);
            return 0;
        case WM_TIMER:
            if (wparam == 1) {
                set_field(g_windows.timer, 1);
                wake_input_events(kWakeFirst);
            }
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            return handle_scroll(window, message, wparam, lparam, DefWindowProcA);
        case WM_LBUTTONDOWN:
            on_button_down(window, 1, lparam);
            return 0;
        case WM_RBUTTONDOWN:
            on_button_down(window, 2, lparam);
            return 0;
        case WM_MBUTTONDOWN:
            SetFocus(window);
            wake_input_events(kWakeFourth | kWakeFirst);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            set_field(g_windows.button_state, 0);
            return 0;
        case WM_KEYDOWN:
            on_key_down(window, wparam);
            return 0;
        default:
            record_mapped_input(message, wparam, lparam);
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK dialog_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    store_current_event(message, window, wparam, lparam);
    if (message == WM_ENTERSIZEMOVE) {
        BringWindowToTop(window);
    }
    track_size_move(window, message, lparam);
    switch (message) {
        case WM_CREATE:
            SetBkColor(GetDC(window), GetSysColor(COLOR_BTNFACE));
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            break;
        case WM_ACTIVATE:
            g_core.current_dialog = LOWORD(wparam) != WA_INACTIVE ? window : nullptr;
            break;
        case WM_PAINT:
            ValidateRect(window, nullptr);
            if (g_switches.autopaint.load() < 2) {
                set_field(g_windows.repaint, 1);
                SetEvent(g_windows.input_events[0]);
            }
            return 0;
        case WM_CLOSE:
            if (close_confirmed(window, g_windows.dialog_confirm_close, g_windows.dialog_confirm_question,
                                g_windows.dialog_confirm_caption)) {
                record_event(2, -2, kWakeSecond | kWakeFirst);
            }
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            return handle_scroll(window, message, wparam, lparam, DefDlgProcA);
        default:
            record_mapped_input(message, wparam, lparam);
            break;
    }
    return DefDlgProcA(window, message, wparam, lparam);
}
