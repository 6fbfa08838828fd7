// A message hook for the gallery builder's end-to-end tests: installed for every thread of the
// desktop, it is loaded into the gallery builder and counts the external calls that its worker hands
// to the main thread (request 0xA00B), one line each in external_calls.txt of RT_STANDIN_LOG.
#include <windows.h>

namespace {

constexpr UINT kRequestMessage = 0x8001;
constexpr WPARAM kExternalCall = 0xA00B;

void record_call() {
    char folder[MAX_PATH] = {};
    if (GetEnvironmentVariableA("RT_STANDIN_LOG", folder, sizeof folder) == 0) {
        return;
    }
    char path[MAX_PATH + 32] = {};
    wsprintfA(path, "%sexternal_calls.txt", folder);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "0xA00B\r\n", 8, &written, nullptr);
        CloseHandle(file);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK request_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (sent->message == kRequestMessage && sent->wParam == kExternalCall) {
            record_call();
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
