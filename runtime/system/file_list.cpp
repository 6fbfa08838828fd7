// Placeholder until the file list lands.
#include "runtime/system/file_list.h"

#include "runtime/settings/switch_vars.h"

void init_file_search() {
    g_switches.filemode = 2;
}

void exit_file_search() {}

void fill_list_control(HWND, UINT) {}
