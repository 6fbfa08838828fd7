// The core's own start-up and clean-up steps, and the end of the process from the main thread.
// The order of all subsystems' steps lives above the modules, in runtime/program.
#pragma once

#include <windows.h>

// Core start-up: switch defaults, request-done event, command line, request window. Ends the
// process with code 1 when the request window cannot be made.
void init_core(HINSTANCE instance);
// Core clean-up: handles, OLE, command line, accelerator table.
void exit_core();
// The step that terminate_program runs after the worker was killed: it may not touch the heap
// (the worker may have died holding its lock). Installed by the program's start-up.
void install_heapless_exit_step(void (*step)());
