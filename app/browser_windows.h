// Which top-level windows belong to the gallery builder's run: the page window and the viewer
// window are windows of the started browser, that is of a process that runs its executable (also
// an instance that was running before and took the page). Windows of other programs never count.
#pragma once

#include <windows.h>

#include <vector>

#include "runtime/values/rt_string.h"

namespace gallery {

// True when the window's title begins with "view gallery" (the page), or with "Cooliris" or
// "PicLens" (the viewer), case ignored.
bool page_titled(HWND window);
bool viewer_titled(HWND window);

class BrowserWindows {
  public:
    // Lists the top-level windows there are now: call it just before the browser starts. With an
    // empty path (no browser was started) no window is the browser's.
    explicit BrowserWindows(const RtString& browser);

    // The first window of the browser titled like the page that was not there before; 0 when none.
    HWND find_page() const;
    // A window of the browser titled like the viewer: the page window, or else one that was not
    // there before the launch (with no page window: one that was not titled like the viewer then,
    // as a show an earlier run left open is). 0 when none.
    HWND find_viewer(HWND page) const;

  private:
    struct FileId {
        DWORD volume = 0;
        DWORD high = 0;
        DWORD low = 0;
        bool known = false;
    };
    static FileId file_id(const char* path);
    bool runs_browser(HWND window) const;

    FileId browser_;
    std::vector<HWND> before_;         // every top-level window at the launch, sorted
    std::vector<HWND> viewer_before_;  // those titled like the viewer then, sorted
};

}  // namespace gallery
