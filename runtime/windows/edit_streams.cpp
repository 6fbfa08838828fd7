#include "runtime/windows/edit_streams.h"

#include <richedit.h>

#include <cstdio>

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

// Streams the control from or to an open file; the system error code, or 0. A saved file is on the
// disk before it counts as written: a rename over the user's file must not put an unwritten one in
// its place.
uint32_t stream_file(HWND control, HANDLE file, UINT format, bool save) {
    EDITSTREAM es = {};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(file);
    es.pfnCallback = save ? write_to_file : read_from_file;
    SendMessageA(control, save ? EM_STREAMOUT : EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
    uint32_t error = es.dwError;
    if (save && error == 0 && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    if (!CloseHandle(file) && save && error == 0) {
        error = GetLastError();
    }
    return error;
}

// A save writes a new file beside the target and puts it in the target's place only when the
// stream succeeded: a stream that fails (a full disk) leaves the user's file as it was.
uint32_t save_beside(HWND control, const char* path, UINT format) {
    char temporary[MAX_PATH + 16];
    int length = std::snprintf(temporary, sizeof temporary, "%s.~%lx", path, GetCurrentThreadId());
    if (length < 0 || static_cast<size_t>(length) >= sizeof temporary) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    uint32_t error = stream_file(control, file, format, true);
    if (error == 0 && !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != 0) {
        DeleteFileA(temporary);
    }
    return error;
}

uint32_t stream(HWND control, const char* path, UINT format, bool save) {
    if (!is_rich_edit(control)) {
        return kNotRichEdit;
    }
    uint32_t error;
    if (save) {
        error = save_beside(control, path, format);
    } else {
        HANDLE file =
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : stream_file(control, file, format, false);
    }
    if (error == 0) {
        SendMessageA(control, EM_SETMODIFY, 0, 0);
    }
    return error;
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
