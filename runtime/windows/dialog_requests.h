// The request kinds that open dialogs: template and resource dialogs, the file and folder
// dialogs, the edit, list and input dialogs and dialogs with the program's own procedure. The
// request channel's dispatcher calls these on the main thread; each returns false for a kind it
// does not own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Kinds carried out whether posted or sent: 0xA004, 0xA005.
bool carry_out_dialog_request(uint32_t kind, LPARAM lparam);
// Kinds carried out only when posted: 0xA008, 0xA00D, 0xA00E, 0xA00F, 0xA010, 0xA014.
bool carry_out_posted_dialog_request(uint32_t kind, LPARAM lparam);

// The file dialog's filter list (NUL-separated name and pattern pairs closed by a double NUL) and
// default extension (NUL-terminated, empty when there is none) from the request's save flag, filter
// text ("name|pattern|...") and the file name already in its buffer.
void build_file_filter(bool save,
                       const char* filter_text,
                       const char* file_name,
                       std::vector<char>& filter,
                       std::vector<char>& default_extension);
