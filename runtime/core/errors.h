/// \file
/// Error and warning reporting: the numbered German messages, the log line, and what the
/// errorlevel and onerror switches make of a report (a box, the handler, going on, or the end);
/// the rules are the page \ref errors, the texts \ref error_texts.
/// report_error and report_warning may be called from pure code: they hand the report to the
/// routines that the core installs at start-up (until then a report is ignored). Reports are made
/// on the worker thread, and by window and dialog procedures on the main thread: one at a time.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"
#include "runtime/values/rt_value.h"

/// Reports error \p code with \p argument (a C string appended to the message, or null): logs it
/// and, by the `errorlevel` switch, shows the error box and ends the worker, or calls the handler.
/// Returns only at errorlevel -1; otherwise the worker ends and the program with it (exit code 0).
void report_error(int32_t code, const char* argument);
/// Reports warning \p code with \p argument (or null) as report_error() does. Returns unless the
/// user cancels the question box or errorlevel is 2.
void report_warning(int32_t code, const char* argument);

/// A copy of the table text for \p code, or "" for a code that is not in the table.
RtString error_message(int32_t code);
/// The table text for \p code, or "" for a code that is not in the table: a static C string that
/// lives for the whole run. Any thread.
const char* error_text(int32_t code);
/// The table text for \p code immediately followed by \p argument (none added when it is null).
RtString compose_message(int32_t code, const char* argument);

/// What report_error() and report_warning() hand a report to.
using ReportRoutine = void (*)(int32_t code, const char* argument);
/// Installs the routines that report_error() (\p error) and report_warning() (\p warning) call;
/// null ignores reports. The runtime installs its own at start-up; tests install recorders.
void install_report_routines(ReportRoutine error, ReportRoutine warning);

/// Appends \p line and CR LF to the log file named by the `logfile` switch (created when missing),
/// whole or not at all, after what other threads and programs appended meanwhile (the file is
/// shared); silent when it cannot (no name, no rights, a full disk).
void append_log_line(const RtString& line);

/// The runtime's error reporter (installed at start-up): the log line, the box, the handler, the
/// end of the worker, as \ref errors describes for \p code and \p argument.
void core_report_error(int32_t code, const char* argument);
/// The runtime's warning reporter (installed at start-up), as \ref errors describes.
void core_report_warning(int32_t code, const char* argument);

/// Heap exhaustion, on any thread: the log line when a log file is set, the box "Nicht genug
/// Speicher!", then the end with code 1 (on the worker as after a fatal report, elsewhere as when
/// the text window is closed: the worker is stopped at its next safe point first); nothing is
/// allocated on the way. Installed at start-up for failed string buffers and for failed operator
/// new.
[[noreturn]] void fatal_out_of_memory();
/// Installs fatal_out_of_memory() for failed string buffers and for failed operator new. Called by
/// the runtime at start-up.
void install_out_of_memory_handlers();

/// A failure met while the program ends (a file that could not be written or removed): the log line
/// and the error box of report_error() (no box at errorlevel -1), put together without the heap,
/// and nothing ended and no handler called: the program is ending already. The last error fields
/// are set; the error argument is not. Any thread.
void report_at_end(int32_t code, const char* argument);

/// The last report's kind: 1 after a warning, 2 after an error, 0 before any. Any thread.
int32_t last_error_kind();
/// The last report's code; 0 before any. Any thread.
int32_t last_error_code();
/// A copy of the last report's argument; "" when it had none.
RtString last_error_argument();

/// The error handler: receives the composed message as a string value.
using ErrorHandler = void (*)(const RtValue& message);
/// Installs \p handler (null: none). It is called with the composed message at errorlevel -1 and,
/// for warnings, at 0 and below, while the `onerror` switch is on; `onerror` is off while it runs.
/// Empty at start.
void set_error_handler(ErrorHandler handler);
