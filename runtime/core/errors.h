// Error and warning reporting: the numbered German messages, the log line, and what the
// errorlevel and onerror switches make of a report (a box, the handler, going on, or the end).
// report_error and report_warning may be called from pure code: they hand the report to the
// routines that the core installs at start-up (until then a report is ignored).
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"
#include "runtime/values/rt_value.h"

// Returns only at errorlevel -1; otherwise the worker ends.
void report_error(int32_t code, const char* argument);
// Returns unless the user cancels or errorlevel is 2.
void report_warning(int32_t code, const char* argument);

// The table text for code, or "" for a code that is not in the table.
RtString error_message(int32_t code);
const char* error_text(int32_t code);
// The table text immediately followed by the argument (none added when it is null).
RtString compose_message(int32_t code, const char* argument);

using ReportRoutine = void (*)(int32_t code, const char* argument);
void install_report_routines(ReportRoutine error, ReportRoutine warning);

// Appends line and CR LF to the log file named by the logfile switch; silent when it cannot.
void append_log_line(const RtString& line);

// The core's reporters (installed at start-up).
void core_report_error(int32_t code, const char* argument);
void core_report_warning(int32_t code, const char* argument);

// Heap exhaustion, on any thread: the log line when a log file is set, the box "Nicht genug
// Speicher!", then the end of the process with code 1; nothing is allocated on the way. Installed
// at start-up for failed string buffers and for failed operator new.
[[noreturn]] void fatal_out_of_memory();
void install_out_of_memory_handlers();

// The last report: kind 1 after a warning, 2 after an error; its code and argument.
int32_t last_error_kind();
int32_t last_error_code();
RtString last_error_argument();

// The error handler slot: called (with the composed message) at errorlevels -1 and, for warnings,
// 0 and below, while the onerror switch is on. Empty at start.
using ErrorHandler = void (*)(const RtValue& message);
void set_error_handler(ErrorHandler handler);
