/// \file
/// The hidden list of strings (`file list`) and its `last index`: filled by the file search and by
/// add_string, read back entry by entry, joined for an edit control or split into list-view
/// columns. Worker thread only (the main thread reads it while the worker waits). Pure C++.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "runtime/values/rt_string.h"

/// The list's entries, in the order they were added. A deque: entries never move when the list
/// grows, and entry n is reached in constant time. Read it through list_item() or directly.
extern std::deque<RtString> file_list;
/// The entry count minus one after every change that adds entries; -1 when the list is empty.
extern int32_t last_index;

/// Appends a copy of \p s to the list.
void add_string(const RtString& s);
/// Empties the list (last_index -1).
void clear_list();
/// A copy of entry \p n, counted from 0; "" for \p n equal to the count or negative. \p n above
/// the count is error 206 "So viele Elemente sind nicht da!" (then "").
RtString list_item(int32_t n);

/// All entries joined, each but the last followed by CR LF; "" for an empty list.
RtString list_text();
/// The pieces of \p text between the occurrences of \p separator (empty pieces included); an
/// empty separator gives the whole text as the one piece.
std::vector<RtString> split_columns(const RtString& text, const RtString& separator);
/// \p prefix + "\" + \p name with every doubled backslash made single; a leading "\\" of a
/// network path is kept.
RtString join_path(const RtString& prefix, const RtString& name);
