/// \file
/// Numbered file channels (1 to 99) through which the program body writes and reads text files,
/// the `io result` of the last file operation, and the name-based file functions. Worker thread
/// only. A channel number outside 1 to 99 is error 210 "Dateinummer nicht im erlaubten Bereich!"
/// for every channel function, which then does nothing else (an empty result). Ordinary failures
/// are silent and leave a code in io_result (\ref io_result); bytes are written and read as they
/// are, without any line-end translation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "runtime/values/rt_string.h"

/// The channel states beside 0 (unnamed), as the comments say.
///@{
constexpr uint8_t kChannelNamed = 0x2A;    // '*': named, or closed with a name
constexpr uint8_t kChannelWriting = 0x57;  // 'W': open for writing
constexpr uint8_t kChannelReading = 0x52;  // 'R': open for reading
///@}

/// One file channel. The channel functions keep it; a program body reads it, it does not write it.
struct RtChannel {
    /// The file name given by assign_file(); "" at start.
    RtString name;
    /// handle: a platform file handle, which no runtime function opens and release_channel()
    /// closes; read_flag: set while the channel is open for reading, and print_to_file() refuses
    /// it meanwhile.
    ///@{
    HANDLE handle = nullptr;  // only ever released
    uint8_t read_flag = 0;    // while set, print_to_file refuses the channel
    ///@}
    /// The open stream, null when closed.
    FILE* stream = nullptr;
    /// 0 unnamed, kChannelNamed, kChannelWriting or kChannelReading.
    uint8_t state = 0;
};

/// The channels, indexed by channel number 1 to 99; record 0 is never used.
extern RtChannel channel_table[100];
/// The code of the last file operation: 0 success, 2, 5, 100, 102, 103, 104 or the platform's
/// error of a deletion (\ref io_result).
extern int32_t io_result;

/// Names the file of channel \p n (a copy of \p name; "" unnames it). Opens and closes nothing: a
/// stream open on the channel stays open on the old file. Leaves io_result alone.
void assign_file(int32_t n, const RtString& name);
/// Opens channel \p n's file for writing: created, or emptied when it exists. A stream open on
/// the channel is closed first. io_result: 0, 102 when the channel has no name, 5 when the file
/// cannot be opened, 103 when it was opened but the stream closed first lost text (as close_file()).
void rewrite_file(int32_t n);
/// Writes \p text's bytes to channel \p n, then for \p ending 0 a blank, 1 nothing, 2 CR LF. With
/// \p text_flag non-zero, a text shorter than the `strwidth` switch is right-aligned to it with
/// blanks. io_result: 0, or 103 when the channel is not open for writing (nothing is written) or
/// the write failed. Text is buffered until close_file().
void print_to_file(int32_t n, const RtString& text, int32_t ending, int32_t text_flag);
/// Opens channel \p n's file for reading, from its first byte, and sets its read flag. A stream
/// open on the channel is closed first. io_result: 0, 102 when the channel has no name, 2 when the
/// file (or its folder) does not exist, 5 when it exists but cannot be opened (a folder, a locked
/// file).
void reset_file(int32_t n);
/// The next line of channel \p n without its line break. A line ends at LF or CR LF; a CR
/// elsewhere is a byte of the line; a last line without a break is a line too. Lines may be of any
/// length and hold any bytes, 0 included. io_result: 0; 104 when the channel is not open for
/// reading, 100 when no line is left or reading failed; "" in both cases.
RtString read_line(int32_t n);
/// 0 while channel \p n has a line left to read, 1 when it has none (a line break at the very end
/// of the file leaves none). Reads nothing away. io_result: 0; 104 (and 1) when the channel is
/// not open for reading, 100 (and 1) when reading failed. A number outside 1 to 99 gives 1 after
/// error 210, so that a reading loop ends.
int32_t end_of_file(int32_t n);
/// Closes channel \p n: the buffered text is written and the stream closed (or its handle
/// released); the read flag is cleared. A named channel stays named and can be opened again.
/// io_result: 0, or 103 when the file lacks text: writing the buffered text failed, or an earlier
/// write did.
void close_file(int32_t n);
/// Closes channel \p n's handle when it has one, else its stream as close_file() does. Leaves
/// io_result alone unless close_file() runs.
void release_channel(int32_t n);
/// Deletes the file named by channel \p n as delete_file() does; the channel itself stays as it
/// is (an open stream stays open).
void erase_file(int32_t n);
/// Deletes the file \p name (DeleteFileA). io_result: 0, or the Windows error code of the failure
/// (2 not found, 3 path not found, 5 access denied, 32 in use).
void delete_file(const RtString& name);
/// The low 32 bits of the size in bytes of the first file that \p name matches (it may hold
/// wildcards). Nothing matches: -1, a folder: -2; both with io_result 103 and warning 209
/// "Datei nicht gefunden: " followed by \p name. io_result 0 otherwise.
int32_t file_size(const RtString& name);
/// The platform's short (8.3) form of \p path; "" when the path does not exist, has no short form
/// or is longer than 291 bytes. Leaves io_result alone.
RtString short_path(const RtString& path);
/// Makes \p path the current folder; non-zero when it did. io_result: 0, or 2 when it cannot
/// (the folder is then unchanged).
int32_t change_directory(const RtString& path);

/// Clean-up: closes every open stream (its buffered text is written) and handle and unnames every
/// channel; a channel that lost text is reported as error 303 "Fehler beim Schreiben: " with its
/// file name (report_at_end()). Called by the runtime when the program ends normally.
void close_all_channels();
