// The hidden list of strings (`file list`) and its `last index`: filled by the file search and by
// add_string, read back entry by entry, joined for an edit control or split into list-view
// columns. Worker thread only (the main thread reads it while the worker waits). Pure C++.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "runtime/values/rt_string.h"

// A deque: entries never move when the list grows, and entry n is reached in constant time.
extern std::deque<RtString> file_list;
// The entry count minus one after every change that adds entries; -1 when the list is empty.
extern int32_t last_index;

void add_string(const RtString& s);
void clear_list();
// Entry n counted from 0; "" for n equal to the count or negative; error 206 above the count.
RtString list_item(int32_t n);

// All entries joined, each but the last followed by CR LF.
RtString list_text();
// The pieces of text between the occurrences of separator; an empty separator gives the whole text.
std::vector<RtString> split_columns(const RtString& text, const RtString& separator);
// prefix + "\" + name with every doubled backslash made single; a leading "\\" of a network path
// is kept.
RtString join_path(const RtString& prefix, const RtString& name);
