/// \file
/// Loading and saving a rich edit control from and to a file, as plain text or as rich text (RTF),
/// and making the rich edit window classes available at start-up. Callable from either thread:
/// the control's own thread runs the stream callback.
#pragma once

#include <windows.h>

#include <cstdint>

/// Loads the rich edit library, whose classes ("RichEdit20A" and friends) the "EDITBOX2" template
/// and the program's own controls use. Start-up step of the window subsystem.
void install_edit_streams();

/// Replaces the text of the rich edit \p control by the file \p path read as plain text. Returns
/// 0 on success (the control's modified flag is then cleared), 87 when the window is not a rich
/// edit control, and otherwise the system error code of the failed open or read.
uint32_t edit_load_text(HWND control, const char* path);
/// As edit_load_text(), reading the file as rich text (RTF).
uint32_t edit_load_rtf(HWND control, const char* path);
/// Writes the text of the rich edit \p control to the file \p path as plain text, through a file
/// beside it that then replaces it, so a failed save leaves the old file. Returns 0 on success (the
/// modified flag is then cleared), 87 for a window that is not a rich edit control, otherwise the
/// system error code of the failed write.
uint32_t edit_save_text(HWND control, const char* path);
/// As edit_save_text(), writing rich text (RTF).
uint32_t edit_save_rtf(HWND control, const char* path);
