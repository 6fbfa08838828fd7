#include "runtime/program/startup.h"

#include "runtime/core/lifecycle.h"
#include "runtime/system/file_list.h"
#include "runtime/values/frames.h"
#include "runtime/values/string_functions.h"
#include "runtime/windows/window_state.h"

void start_runtime(HINSTANCE instance) {
    init_core(instance);
    init_string_functions();
    init_windows();
    install_heapless_exit_step(exit_windows_without_heap);
    init_file_search();
}

void clean_up_runtime() {
    exit_file_search();
    exit_windows();
    exit_core();
    release_frames();
}
