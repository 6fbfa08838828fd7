// Numbered file channels (1 to 99) through which the program body writes text files, the `io
// result` of the last file operation, and the name-based file functions. Worker thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "runtime/values/rt_string.h"

constexpr uint8_t kChannelNamed = 0x2A;    // '*': named, or closed with a name
constexpr uint8_t kChannelWriting = 0x57;  // 'W': open for writing
constexpr uint8_t kChannelReading = 0x52;  // 'R': open for reading

struct RtChannel {
    RtString name;
    HANDLE handle = nullptr;  // only ever released
    uint8_t read_flag = 0;    // while set, print_to_file refuses the channel
    FILE* stream = nullptr;
    uint8_t state = 0;
};

// Record 0 is never used.
extern RtChannel channel_table[100];
// The code of the last file operation: 0, 2, 5, 102, 103 or the platform's error of a deletion.
extern int32_t io_result;

void assign_file(int32_t n, const RtString& name);
void rewrite_file(int32_t n);
// ending: 0 a blank, 1 nothing, 2 CR LF. With text_flag set, a text shorter than the strwidth
// switch is right-aligned to it.
void print_to_file(int32_t n, const RtString& text, int32_t ending, int32_t text_flag);
void reset_file(int32_t n);
RtString read_line(int32_t n);
int32_t end_of_file(int32_t n);
void close_file(int32_t n);
void release_channel(int32_t n);
void erase_file(int32_t n);
void delete_file(const RtString& name);
// The low 32 bits of the size of the first match of name; -1 when nothing matches, -2 for a
// folder (both with warning 209).
int32_t file_size(const RtString& name);
RtString short_path(const RtString& path);
// Non-zero when path became the current folder.
int32_t change_directory(const RtString& path);

// Clean-up: closes every open stream (its buffered text is written) and releases the names.
void close_all_channels();
