#include "runtime/system/file_access.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/settings/switch_vars.h"

RtChannel channel_table[100];
int32_t io_result = 0;

namespace {

constexpr int32_t kIoNotFound = 2;
constexpr int32_t kIoCannotOpen = 5;
constexpr int32_t kIoNoName = 102;
constexpr int32_t kIoNotWritable = 103;
constexpr int32_t kIoNoLine = 100;
constexpr int32_t kIoNotReadable = 104;
constexpr int32_t kWriteFailed = 303;  // "Fehler beim Schreiben: "

// Error 210 for a channel number outside 1..99.
RtChannel* channel(int32_t n) {
    if (n < 1 || n > 99) {
        report_error(210, nullptr);
        return nullptr;
    }
    return &channel_table[n];
}

// What a channel open for reading has read of its file and not yet given out as lines: the file
// is read a block at a time.
struct ReadAhead {
    std::vector<char> block;
    size_t next = 0;  // the first byte not given out
    size_t end = 0;   // the end of the bytes read
};

constexpr size_t kReadBlock = 64 * 1024;

ReadAhead g_read_ahead[100];

ReadAhead& read_ahead(const RtChannel& c) {
    return g_read_ahead[&c - channel_table];
}

// Reads the next block once the last is given out; false at the end of the file. A failed read
// leaves io result 100.
bool fill(ReadAhead& ahead, FILE* stream) {
    if (ahead.next < ahead.end) {
        return true;
    }
    ahead.block.resize(kReadBlock);
    ahead.next = 0;
    ahead.end = fread(ahead.block.data(), 1, ahead.block.size(), stream);
    if (ferror(stream)) {
        io_result = kIoNoLine;
    }
    return ahead.end != 0;
}

// Closes the channel's stream, writing the text still buffered. False when a channel open for
// writing lost text: the buffer could not be written (a full disk), or an earlier write failed.
// The buffer is flushed first: not every C runtime's fclose reports a failed flush.
bool close_stream(RtChannel& c) {
    bool written = true;
    if (c.stream != nullptr) {
        bool flushed = fflush(c.stream) == 0 && ferror(c.stream) == 0;
        bool closed = fclose(c.stream) == 0;
        written = c.read_flag != 0 || (flushed && closed);
        c.stream = nullptr;
    }
    c.read_flag = 0;
    read_ahead(c) = ReadAhead();
    return written;
}

// The channel's stream when it is open for reading; else io result 104 and null.
FILE* reading_stream(RtChannel& c) {
    if (c.stream == nullptr || c.read_flag == 0) {
        io_result = kIoNotReadable;
        return nullptr;
    }
    return c.stream;
}

void mark_closed(RtChannel& c) {
    if (c.name.length != 0) {
        c.state = kChannelNamed;
    }
}

// Opens channel n's file in mode (binary: no line-end translation), a stream still open on it
// closed first: left open, its buffered text would be lost with the pointer, or written over the
// new file when the run ends. Null when it cannot, with io result 102 for a channel without a name,
// else `missing` when the file or its folder does not exist and 5 otherwise. When the close lost
// text but the new file is open, io result 103.
RtChannel* open_channel(int32_t n, const char* mode, int32_t missing) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return nullptr;
    }
    io_result = 0;
    if (c->name.length == 0) {
        io_result = kIoNoName;
        return nullptr;
    }
    bool written = close_stream(*c);
    errno = 0;
    c->stream = fopen(c->name.c_str(), mode);
    if (c->stream == nullptr || ferror(c->stream)) {
        io_result = errno == ENOENT ? missing : kIoCannotOpen;
        mark_closed(*c);
        return nullptr;
    }
    io_result = written ? 0 : kIoNotWritable;
    return c;
}

}  // namespace

void assign_file(int32_t n, const RtString& name) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    c->name = name;
    c->state = name.length != 0 ? kChannelNamed : 0;
}

void rewrite_file(int32_t n) {
    if (RtChannel* c = open_channel(n, "wb", kIoCannotOpen)) {
        c->state = kChannelWriting;
    }
}

void print_to_file(int32_t n, const RtString& text, int32_t ending, int32_t text_flag) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    io_result = 0;
    if (c->stream == nullptr || ferror(c->stream) || c->read_flag != 0) {
        io_result = kIoNotWritable;
        return;
    }
    int32_t width = g_switches.strwidth;
    if (text_flag != 0 && width != 0 && text.length < width) {
        for (int32_t i = text.length; i < width; ++i) {
            fputc(' ', c->stream);
        }
    }
    fwrite(text.c_str(), 1, static_cast<size_t>(text.length), c->stream);
    if (ending == 0) {
        fputc(' ', c->stream);
    } else if (ending == 2) {
        fwrite("\r\n", 1, 2, c->stream);
    }
    if (ferror(c->stream)) {
        io_result = kIoNotWritable;
    }
}

// Binary mode: the bytes come as they are, and read_line itself takes CR LF or LF as the break.
// The read-ahead starts empty (close_stream).
void reset_file(int32_t n) {
    if (RtChannel* c = open_channel(n, "rb", kIoNotFound)) {
        c->read_flag = 1;
        c->state = kChannelReading;
    }
}

// A line is cut out of the block read ahead with memchr and copied once; one that runs past the
// block's end is gathered across blocks, so a line of any length costs one pass.
RtString read_line(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return RtString();
    }
    io_result = 0;
    FILE* stream = reading_stream(*c);
    if (stream == nullptr) {
        return RtString();
    }
    ReadAhead& ahead = read_ahead(*c);
    if (!fill(ahead, stream)) {
        io_result = kIoNoLine;
        return RtString();
    }
    std::string gathered;  // a line that runs past the end of the block, so far
    for (;;) {
        const char* from = ahead.block.data() + ahead.next;
        size_t available = ahead.end - ahead.next;
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', available));
        if (lf == nullptr) {
            gathered.append(from, available);
            ahead.next = ahead.end;
            if (fill(ahead, stream)) {
                continue;
            }
            return RtString(gathered.data(), 0, static_cast<int32_t>(gathered.size()));  // no break at the end
        }
        size_t length = static_cast<size_t>(lf - from);
        ahead.next += length + 1;
        if (!gathered.empty()) {
            gathered.append(from, length);
            from = gathered.data();
            length = gathered.size();
        }
        if (length > 0 && from[length - 1] == '\r') {
            --length;
        }
        return RtString(from, 0, static_cast<int32_t>(length));
    }
}

int32_t end_of_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return 1;
    }
    io_result = 0;
    FILE* stream = reading_stream(*c);
    return stream != nullptr && fill(read_ahead(*c), stream) ? 0 : 1;
}

void close_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    io_result = 0;
    if (c->stream != nullptr) {
        io_result = close_stream(*c) ? 0 : kIoNotWritable;
    } else if (c->handle != nullptr) {
        release_channel(n);
    }
    c->read_flag = 0;
    read_ahead(*c) = ReadAhead();
    mark_closed(*c);
}

void release_channel(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    if (c->handle != nullptr) {
        CloseHandle(c->handle);
        c->handle = nullptr;
    } else if (c->stream != nullptr) {
        close_file(n);
    }
    mark_closed(*c);
}

void erase_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    delete_file(c->name);
}

void delete_file(const RtString& name) {
    io_result = 0;
    SetLastError(0);
    if (!DeleteFileA(name.c_str())) {
        io_result = static_cast<int32_t>(GetLastError());
    }
}

int32_t file_size(const RtString& name) {
    io_result = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        io_result = kIoNotWritable;
        report_warning(209, name.c_str());
        return -1;
    }
    FindClose(search);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        io_result = kIoNotWritable;
        report_warning(209, name.c_str());
        return -2;
    }
    return static_cast<int32_t>(found.nFileSizeLow);
}

RtString short_path(const RtString& path) {
    char buffer[292] = {};
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n != 0 && n < sizeof buffer ? RtString(buffer) : RtString();
}

int32_t change_directory(const RtString& path) {
    io_result = 0;
    if (!SetCurrentDirectoryA(path.c_str())) {
        io_result = kIoNotFound;
        return 0;
    }
    return 1;
}

// A channel whose text could not all be written is reported (error 303 with its file name): the
// program has ended, there is no io result to look at any more.
void close_all_channels() {
    for (RtChannel& c : channel_table) {
        if (!close_stream(c)) {
            report_at_end(kWriteFailed, c.name.c_str());
        }
        if (c.handle != nullptr) {
            CloseHandle(c.handle);
        }
        c = RtChannel();
    }
}
