// The request kinds that open dialogs: template and resource dialogs, the file and folder
// dialogs, the edit, list and input dialogs and dialogs with the program's own procedure. The
// request channel's dispatcher calls these on the main thread; each returns false for a kind it
// does not own.
#pragma once

#include <windows.h>

#include <cstdint>

// Kinds carried out whether posted or sent: 0xA004, 0xA005.
bool carry_out_dialog_request(uint32_t kind, LPARAM lparam);
// Kinds carried out only when posted: 0xA008, 0xA00D, 0xA00E, 0xA00F, 0xA010, 0xA014.
bool carry_out_posted_dialog_request(uint32_t kind, LPARAM lparam);
