// Small system helpers of the program body: the shell, the Windows and program folders, a pause
// carried out by the main thread, and the search for a top-level window by the start of its title.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

// ShellExecuteA without an owner; the result is not looked at.
void shell_execute(const RtString& file, const RtString& verb, int32_t show);
// Without a trailing backslash, except for the root of a drive.
RtString windows_directory();
// The program's folder with a trailing backslash.
RtString program_directory();
// The main thread sleeps ms milliseconds (request 0xA011) while the worker waits.
void pause(int32_t ms);
// The first top-level window (visible or not) whose title begins with text, case ignored; an empty
// text matches the first window. 0 when none matches.
HWND find_window_by_title(const RtString& text);
