// RtValue: one loosely typed argument or result, held at once as integer, double, text and the
// address of the variable it came from. Builders and conversions; pure C++.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

enum ValueKind : int32_t {
    kValueInt = 1,
    kValueString = 3,
};

struct RtValue {
    int32_t kind = 0;  // 0 only in records that were never filled
    int32_t int_value = 0;
    double float_value = 0.0;
    RtString text;
    void* ref = nullptr;  // copied, never followed
};

// An integer variable (or a temporary holding a literal) and its address.
RtValue value_from_int(int32_t value, int32_t* variable);
RtValue value_from_string_var(RtString& variable);
// Appends s to x's text in place, makes x a string value and returns a copy of it.
RtValue value_append_text(RtValue& x, const RtString& s);
// Parses s into a string value without touching the result slot.
RtValue value_parse_text(const RtString& s);
// Parses s, stores the value in the result slot of the parameter frames and returns a copy.
RtValue value_from_text(const RtString& s);
RtString value_text(const RtValue& value);
// The string variable becomes a copy of the value's text; returns a copy of the variable.
RtString assign_value(RtString& variable, const RtValue& value);

// The integer reading of a text: blanks, an optional sign, decimal digits; wraps on overflow.
int32_t text_to_int(const char* text);
// The decimal reading of a double; text that does not begin with a number gives 0.0.
double text_to_double(const char* text);
