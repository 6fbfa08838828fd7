#include "runtime/system/system_helpers.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"

namespace {

// The state of one find_window_by_title call.
struct TitleSearch {
    std::vector<char> text;  // upper case
    int length;
    HWND found;
};

// Upper case by the system's code page, so that accented letters match too.
void to_upper(char* text, int length) {
    if (length > 0) {
        CharUpperBuffA(text, static_cast<DWORD>(length));
    }
}

BOOL CALLBACK match_title(HWND window, LPARAM lparam) {
    TitleSearch& search = *reinterpret_cast<TitleSearch*>(lparam);
    if (search.length == 0) {
        search.found = window;
        return FALSE;
    }
    int length = GetWindowTextLengthA(window);
    if (length == 0) {
        length = 256;
    }
    std::vector<char> title(static_cast<size_t>(length) + 4, 0);
    int read = GetWindowTextA(window, title.data(), length + 2);
    if (read < search.length) {
        return TRUE;
    }
    to_upper(title.data(), search.length);
    if (std::memcmp(title.data(), search.text.data(), static_cast<size_t>(search.length)) != 0) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

}  // namespace

void shell_execute(const RtString& file, const RtString& verb, int32_t show) {
    ShellExecuteA(nullptr, verb.c_str(), file.c_str(), nullptr, nullptr, show);
}

RtString windows_directory() {
    char buffer[276] = {};
    UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
    return n < sizeof buffer ? RtString(buffer) : RtString();
}

RtString program_directory() {
    RtString path = program_path();
    const char* last = std::strrchr(path.c_str(), '\\');
    if (last == nullptr) {
        return RtString();
    }
    return RtString(path.c_str(), 0, static_cast<int32_t>(last - path.c_str()) + 1);
}

// A negative time pauses 0 ms: taken as unsigned it would be an endless Sleep on the main thread.
void pause(int32_t ms) {
    send_request(kReqPause, static_cast<LPARAM>(ms < 0 ? 0 : ms));
}

HWND find_window_by_title(const RtString& text) {
    TitleSearch search;
    search.length = text.length;
    search.text.assign(text.c_str(), text.c_str() + text.length);
    search.text.push_back(0);
    to_upper(search.text.data(), search.length);
    search.found = nullptr;
    EnumWindows(match_title, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
