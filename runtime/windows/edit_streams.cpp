#include "runtime/windows/edit_streams.h"

#include <richedit.h>

namespace {

constexpr uint32_t kNotRichEdit = ERROR_INVALID_PARAMETER;  // 87

// Stream callbacks: the cookie is the file handle; a non-zero return (the system error code) stops
// the stream and lands in the EDITSTREAM's dwError.
DWORD CALLBACK read_from_file(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        *done = 0;
        DWORD error = GetLastError();
        return error != 0 ? error : ERROR_READ_FAULT;
    }
    *done = static_cast<LONG>(got);
    return 0;
}

DWORD CALLBACK write_to_file(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &written, nullptr) ||
        written != static_cast<DWORD>(size)) {
        *done = static_cast<LONG>(written);
        DWORD error = GetLastError();
        return error != 0 ? error : ERROR_WRITE_FAULT;
    }
    *done = static_cast<LONG>(written);
    return 0;
}

// A rich edit control answers EM_GETOPTIONS with its option bits; other windows answer 0.
bool is_rich_edit(HWND control) {
    return IsWindow(control) && SendMessageA(control, EM_GETOPTIONS, 0, 0) != 0;
}

uint32_t stream(HWND control, const char* path, UINT format, bool save) {
    if (!is_rich_edit(control)) {
        return kNotRichEdit;
    }
    HANDLE file =
        save ? CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr)
             : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    EDITSTREAM es = {};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(file);
    es.pfnCallback = save ? write_to_file : read_from_file;
    SendMessageA(control, save ? EM_STREAMOUT : EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
    CloseHandle(file);
    if (es.dwError != 0) {
        return es.dwError;
    }
    SendMessageA(control, EM_SETMODIFY, 0, 0);
    return 0;
}

}  // namespace

void install_edit_streams() {
    // Kept loaded for the whole run: the classes it registers must outlive every control.
    LoadLibraryA("riched20.dll");
}

uint32_t edit_load_text(HWND control, const char* path) {
    return stream(control, path, SF_TEXT, false);
}

uint32_t edit_load_rtf(HWND control, const char* path) {
    return stream(control, path, SF_RTF, false);
}

uint32_t edit_save_text(HWND control, const char* path) {
    return stream(control, path, SF_TEXT, true);
}

uint32_t edit_save_rtf(HWND control, const char* path) {
    return stream(control, path, SF_RTF, true);
}
