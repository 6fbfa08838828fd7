// The order in which a program of the runtime starts and ends its subsystems. This module sits
// above all the others: it is the one place that knows every module's start-up and clean-up.
#pragma once

#include <windows.h>

// Start-up: the core (switch defaults, request-done event, command line, request window), the
// string functions' locale, the window subsystem, the file-search state; each registers the
// request kinds it carries out. Ends the process with code 1 when a part cannot be made.
void start_runtime(HINSTANCE instance);
// Clean-up in reverse order.
void clean_up_runtime();
