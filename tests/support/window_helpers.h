// Finding and answering the windows of another process from a test: message boxes, dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Polls the top-level windows until one with exactly this title appears; 0 after the time-out.
HWND wait_for_window(const std::string& title, DWORD timeout_ms = 15000);
// Polls for a top-level window of the process with this class name (e.g. "#32770").
HWND wait_for_process_window(DWORD process_id, const std::string& class_name, DWORD timeout_ms = 15000);
// Waits until the window is gone; false after the time-out.
bool wait_until_gone(HWND window, DWORD timeout_ms = 15000);
// The texts of the window's children, in enumeration order.
std::vector<std::string> child_texts(HWND window);
std::string window_text(HWND window);
// Clicks the button with this id in a dialog or message box.
bool click_button(HWND dialog, int id);
