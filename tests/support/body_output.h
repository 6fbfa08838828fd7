// Helpers for test bodies: the scenario the driving test asked for, and lines written to the
// standard output that the driving test reads back.
#pragma once

#include <string>

// The value of the environment variable RT_SCENARIO ("" when unset).
std::string body_scenario();
// Writes one line (a CR LF is appended) to the standard output, unbuffered.
void body_print(const std::string& line);
void body_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
