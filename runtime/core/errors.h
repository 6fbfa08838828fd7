// Error and warning reporting: the numbered German messages, the log line, and what the
// errorlevel and onerror switches make of a report (a box, the handler, going on, or the end).
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

// Returns only at errorlevel -1; otherwise the worker ends.
void report_error(int32_t code, const char* argument);
// Returns unless the user cancels or errorlevel is 2.
void report_warning(int32_t code, const char* argument);
