// String functions of the runtime: parts of texts, fields, trimming, inserting, spaces, case and
// replacement (literal, or by regular expression while the regex switch is on). Positions are
// 1-based bytes; no function changes its arguments. Pure C++.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

RtString string_left(const RtString& s, int32_t n);
RtString string_right(const RtString& s, int32_t n);
// Piece n of s split at t; -1 is the last piece. Error 205 when n is 0.
RtString string_field(const RtString& s, int32_t n, const RtString& t);
RtString string_trim(const RtString& s);
// s with i inserted before byte p; error 204 when p < 1.
RtString string_insert(const RtString& i, const RtString& s, int32_t p);
RtString string_spaces(int32_t n);
RtString string_upper(const RtString& s);
RtString string_lower(const RtString& s);
// Every occurrence of f replaced by r; with the regex switch on, f is a regular expression.
RtString string_replace(const RtString& s, const RtString& f, const RtString& r);
// The regular-expression path of string_replace; a copy of s when the pattern fails.
RtString string_replace_regex(const RtString& s, const RtString& pattern, const RtString& replacement);
// Non-overlapping occurrences of t in s from the left; 0 when t is empty.
int32_t string_count(const RtString& s, const RtString& t);
// The first of k start positions at which the m needle bytes follow, or null. The subject ends at
// end: a candidate whose bytes would run past it is not tried, whatever k is.
const char* string_find(const char* start, const char* end, const char* needle, int32_t k, int32_t m);

// Start-up step: the "English" locale for every category, regex switch 0.
void init_string_functions();
