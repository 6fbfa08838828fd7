// The runtime's start-up and clean-up, in order: the core, then each subsystem's own step.
#pragma once

#include <windows.h>

// Start-up steps 1 to 5: the core (switch defaults, request-done event, command line, request
// window), the string functions' locale, the window subsystem and the file-search state. Ends the
// process with code 1 when the request window cannot be made.
void start_runtime(HINSTANCE instance);
// Clean-up in reverse order.
void clean_up_runtime();
