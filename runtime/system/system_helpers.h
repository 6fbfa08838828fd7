/// \file
/// Small system helpers of the program body: the shell, the Windows and program folders, a pause
/// carried out by the main thread, and the search for a top-level window by the start of its title.
/// Worker thread (pause() waits for the main thread; the others may run on either).
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/values/rt_string.h"

/// Opens \p file (a document, a folder, a program, an address) through the shell with \p verb
/// ("open", "print"; "" the default) and the show command \p show (SW_SHOWNORMAL is 1), without an
/// owner window. Whether it worked is not reported.
void shell_execute(const RtString& file, const RtString& verb, int32_t show);
/// The Windows folder ("C:\windows"): without a trailing backslash, except for the root of a
/// drive; "" when it cannot be read.
RtString windows_directory();
/// The program's folder with a trailing backslash ("C:\tools\"), from the program's full path.
RtString program_directory();
/// Waits \p ms milliseconds (negative: 0): the main thread sleeps (request 0xA011) while the worker
/// waits for it, so windows do not repaint meanwhile. Worker thread only.
void pause(int32_t ms);
/// The first top-level window, visible or not, of any process of the desktop whose title begins
/// with \p text, compared without regard to case (Windows-1252 letters included); an empty text
/// matches the first window; null when none matches.
HWND find_window_by_title(const RtString& text);
