/// \file
/// RtValue: one loosely typed argument or result, held at once as integer, double, text and the
/// address of the variable it came from. Builders and conversions; pure C++. Values belong to the
/// thread that made them; value_from_text() writes the result slot and is for the worker only.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

/// What an RtValue was made from.
enum ValueKind : int32_t {
    /// An integer; text holds its decimal form.
    kValueInt = 1,
    /// A text; int_value and float_value hold its readings as numbers.
    kValueString = 3,
};

/// One loosely typed argument or result: the same value as integer, double and text at once, and
/// the address of the variable it came from. Copies are deep (the text is copied).
struct RtValue {
    /// A ValueKind; 0 only in records that were never filled.
    int32_t kind = 0;  // 0 only in records that were never filled
    /// The value as a 32-bit integer.
    int32_t int_value = 0;
    /// The value as a double.
    double float_value = 0.0;
    /// The value as text.
    RtString text;
    /// The address of the variable the value came from, or null; copied, never followed.
    void* ref = nullptr;  // copied, never followed
};

/// An integer value of \p value (its text made by RtString::assign_int(), so the `numwidth`
/// switch pads it) whose ref is \p variable: the integer variable, or a temporary holding a
/// literal.
RtValue value_from_int(int32_t value, int32_t* variable);
/// A string value holding a copy of \p variable's text; ref is \p variable.
RtValue value_from_string_var(RtString& variable);
/// Appends \p s to \p x's text in place, makes \p x a string value (numbers 0, ref null) and
/// returns a copy of it.
RtValue value_append_text(RtValue& x, const RtString& s);
/// A string value holding \p s, with text_to_int() and text_to_double() of it as its numbers.
RtValue value_parse_text(const RtString& s);
/// The value of value_parse_text(), also stored in the result slot of the parameter frames
/// (result_slot()); returns a copy. Worker thread only.
RtValue value_from_text(const RtString& s);
/// A copy of the value's text.
RtString value_text(const RtValue& value);
/// \p variable becomes a copy of \p value's text; returns a copy of \p variable.
RtString assign_value(RtString& variable, const RtValue& value);

/// The integer reading of the C string \p text: leading white space, an optional sign, decimal
/// digits, up to the first other byte; no digits give 0, and an overflow wraps modulo 2^32.
int32_t text_to_int(const char* text);
/// The decimal reading of the C string \p text (a full stop as decimal point, an exponent
/// allowed); text that does not begin with a decimal number (after white space and a sign) gives
/// 0.0, and so do hexadecimal numbers, infinities and NaNs.
double text_to_double(const char* text);
