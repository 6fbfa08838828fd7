#include "tests/support/window_helpers.h"

namespace {

struct ProcessWindowSearch {
    DWORD process_id;
    std::string class_name;
    HWND found;
};

BOOL CALLBACK match_process_window(HWND window, LPARAM lparam) {
    auto* search = reinterpret_cast<ProcessWindowSearch*>(lparam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (pid == search->process_id && search->class_name == name && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collect_child_text(HWND window, LPARAM lparam) {
    reinterpret_cast<std::vector<std::string>*>(lparam)->push_back(window_text(window));
    return TRUE;
}

}  // namespace

std::string window_text(HWND window) {
    char text[1024] = {};
    // WM_GETTEXT, not GetWindowTextA: the latter does not ask controls of other processes.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

HWND wait_for_window(const std::string& title, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    do {
        HWND window = FindWindowA(nullptr, title.c_str());
        if (window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeout_ms);
    return nullptr;
}

HWND wait_for_process_window(DWORD process_id, const std::string& class_name, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    do {
        ProcessWindowSearch search = {process_id, class_name, nullptr};
        EnumWindows(match_process_window, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeout_ms);
    return nullptr;
}

bool wait_until_gone(HWND window, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeout_ms) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

std::vector<std::string> child_texts(HWND window) {
    std::vector<std::string> texts;
    EnumChildWindows(window, collect_child_text, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool click_button(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) {
        return false;
    }
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}
