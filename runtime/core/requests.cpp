#include "runtime/core/requests.h"

#include "runtime/core/core_state.h"

bool request_signals(uint32_t kind) {
    switch (kind) {
        case kReqExternalCall:
        case kReqOwnDialog:
        case kReqEnterFastLoop:
        case kReqLeaveFastLoop:
        case kReqOpenLoop:
        case kReqCloseOpenLoop:
            return false;
        default:
            return kind >= kReqCreateTextWindow && kind <= kReqAddAccelerator;
    }
}

void post_request(uint32_t kind, void* record) {
    PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, reinterpret_cast<LPARAM>(record));
    WaitForSingleObject(g_core.request_done_event, INFINITE);
}

void post_request_nowait(uint32_t kind, LPARAM value) {
    PostThreadMessageA(g_core.main_thread_id, kRequestMessage, kind, value);
}

void send_request(uint32_t kind, LPARAM record) {
    SendMessageA(g_core.request_window, kRequestMessage, kind, record);
    Sleep(0);
}

void dispatch_request(const MSG&) {}

LRESULT CALLBACK request_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kRequestMessage) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    return 0;
}
