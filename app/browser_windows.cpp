#include "app/browser_windows.h"

#include <algorithm>
#include <cstring>

namespace gallery {

namespace {

const char kPageTitle[] = "view gallery";
const char* const kViewerTitles[] = {"cooliris", "piclens"};

// Prefixes are in small letters and at most 15 characters long.
bool title_begins(HWND window, const char* prefix) {
    const size_t length = std::strlen(prefix);
    char title[16] = {};
    if (GetWindowTextA(window, title, static_cast<int>(length) + 1) < static_cast<int>(length)) {
        return false;
    }
    CharLowerBuffA(title, static_cast<DWORD>(length));
    return std::memcmp(title, prefix, length) == 0;
}

BOOL CALLBACK collect_window(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> top_level_windows() {
    std::vector<HWND> windows;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool listed(const std::vector<HWND>& sorted, HWND window) {
    return std::binary_search(sorted.begin(), sorted.end(), window);
}

// The executable that the window's process runs; "" when the process is gone or may not be asked.
// The buffer is made before the process is opened: heap exhaustion ends the run with no handle open.
std::vector<char> process_image(HWND window) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    std::vector<char> path(32768, 0);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (process == nullptr) {
        return path;
    }
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameA(process, 0, path.data(), &size)) {
        path[0] = 0;
    }
    CloseHandle(process);
    return path;
}

}  // namespace

bool page_titled(HWND window) {
    return title_begins(window, kPageTitle);
}

bool viewer_titled(HWND window) {
    return title_begins(window, kViewerTitles[0]) || title_begins(window, kViewerTitles[1]);
}

// The file by volume and index: a short and a long path, or any two spellings of one file, compare
// equal, where comparing the texts would not.
BrowserWindows::FileId BrowserWindows::file_id(const char* path) {
    FileId id;
    if (path[0] == 0) {
        return id;
    }
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return id;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(file, &information)) {
        id.volume = information.dwVolumeSerialNumber;
        id.high = information.nFileIndexHigh;
        id.low = information.nFileIndexLow;
        id.known = true;
    }
    CloseHandle(file);
    return id;
}

BrowserWindows::BrowserWindows(const RtString& browser) : browser_(file_id(browser.c_str())) {
    before_ = top_level_windows();
    for (HWND window : before_) {
        if (viewer_titled(window)) {
            viewer_before_.push_back(window);
        }
    }
    std::sort(before_.begin(), before_.end());
    std::sort(viewer_before_.begin(), viewer_before_.end());
}

bool BrowserWindows::runs_browser(HWND window) const {
    if (!browser_.known) {
        return false;
    }
    FileId image = file_id(process_image(window).data());
    return image.known && image.volume == browser_.volume && image.high == browser_.high && image.low == browser_.low;
}

HWND BrowserWindows::find_page() const {
    for (HWND window : top_level_windows()) {
        if (!listed(before_, window) && page_titled(window) && runs_browser(window)) {
            return window;
        }
    }
    return nullptr;
}

// With a page window of its own the show is in that window or in a new one; without one it may be
// in a window the user had (the page opened as a tab there).
HWND BrowserWindows::find_viewer(HWND page) const {
    if (page != nullptr && IsWindow(page) && viewer_titled(page)) {
        return page;
    }
    const std::vector<HWND>& not_this_runs = page != nullptr ? before_ : viewer_before_;
    for (HWND window : top_level_windows()) {
        if (!listed(not_this_runs, window) && viewer_titled(window) && runs_browser(window)) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace gallery
