/// \file
/// String functions of the runtime: parts of texts, fields, trimming, inserting, spaces, case and
/// replacement (literal, or by regular expression while the regex switch is on). Positions are
/// 1-based bytes; no function changes its arguments, and each returns a new string the caller owns.
/// Pure C++; any thread, but the errors they report and the `regex` switch are the worker's.
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

/// The first \p n bytes of \p s; all of \p s when \p n is larger; "" when \p n is 0 or less.
RtString string_left(const RtString& s, int32_t n);
/// The last \p n bytes of \p s when 1 &le; \p n &le; its length; "" otherwise (also when \p n
/// is larger than the length).
RtString string_right(const RtString& s, int32_t n);
/// Piece \p n of \p s split at the separator \p t: 1 is the first, -1 the last, -2 the one
/// before it. Pieces may be empty (two separators in a row, or one at either end). Without \p t
/// in \p s (or with \p t empty) the whole of \p s is piece 1 and -1. A piece that does not
/// exist gives "". \p n 0 is error 205 "Substring-Nr ist < 1 !" (then "").
RtString string_field(const RtString& s, int32_t n, const RtString& t);
/// \p s without the blank bytes at its start and end. Blank is every byte whose value, read as a
/// signed 8-bit number, is at most 32: the control bytes, the space, and also every byte from 128
/// to 255, accented letters included.
RtString string_trim(const RtString& s);
/// \p s with \p i inserted before byte \p p (1: in front; past the end: appended). \p p below 1
/// is error 204 "String-Index ist < 1 !" (then \p i is appended).
RtString string_insert(const RtString& i, const RtString& s, int32_t p);
/// \p n blanks (byte 32); "" for \p n 0 or less.
RtString string_spaces(int32_t n);
/// \p s in capitals by the Windows-1252 letters (&auml; to &Auml;, &eacute; to &Eacute;; &szlig;
/// stays), up to its first 0 byte; the length stays.
RtString string_upper(const RtString& s);
/// \p s in small letters, as string_upper() the other way.
RtString string_lower(const RtString& s);
/// \p s with every occurrence of \p f replaced by \p r, from the left; occurrences do not
/// overlap and replaced text is not searched again ("aaa", "a", "aa" gives "aaaaaa"). \p f empty:
/// a copy of \p s. While the `regex` switch is on, \p f is a pattern of \ref regex_dialect and
/// \p r is inserted literally; a pattern that does not compile, or a search that stops at a limit,
/// gives a copy of \p s without any report (regex_compile_error() tells why).
RtString string_replace(const RtString& s, const RtString& f, const RtString& r);
/// The regular-expression path of string_replace(), whatever the `regex` switch says: every match
/// of \p pattern in \p s replaced by \p replacement; a copy of \p s when the pattern fails.
RtString string_replace_regex(const RtString& s, const RtString& pattern, const RtString& replacement);
/// The number of non-overlapping occurrences of \p t in \p s, scanning from the left; 0 when \p t
/// is empty.
int32_t string_count(const RtString& s, const RtString& t);
/// The first of \p k start positions, from \p start on, at which the \p m bytes of \p needle
/// follow; null when there is none (or \p k or \p m is below 1). The subject ends at \p end: a
/// candidate whose bytes would run past it is not tried, whatever \p k is. The result points into
/// the subject.
const char* string_find(const char* start, const char* end, const char* needle, int32_t k, int32_t m);

/// Start-up step: the "English" locale for every category (case tables and the decimal point of
/// number conversions), `regex` switch 0. Called by the runtime before the body starts.
void init_string_functions();
