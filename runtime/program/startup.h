// The order in which a program of the runtime starts and ends its subsystems. This module sits
// above all the others: it is the one place that knows every module's start-up and clean-up.
#pragma once

#include <windows.h>

// Start-up: the core (switch defaults, request-done event, command line, request window), the
// string functions' locale, the window subsystem and its request handlers, the file-search state.
// Ends the process with code 1 when a class or the request window cannot be made.
void start_runtime(HINSTANCE instance);
// Clean-up in reverse order.
void clean_up_runtime();
