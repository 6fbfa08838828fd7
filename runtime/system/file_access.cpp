#include "runtime/system/file_access.h"

#include <cerrno>
#include <string>

#include "runtime/core/errors.h"
#include "runtime/settings/switch_vars.h"

RtChannel channel_table[100];
int32_t io_result = 0;

namespace {

constexpr int32_t kIoFolderMissing = 2;
constexpr int32_t kIoCannotOpen = 5;
constexpr int32_t kIoNoName = 102;
constexpr int32_t kIoNotWritable = 103;
constexpr int32_t kIoNoLine = 100;
constexpr int32_t kIoNotReadable = 104;

// Error 210 for a channel number outside 1..99.
RtChannel* channel(int32_t n) {
    if (n < 1 || n > 99) {
        report_error(210, nullptr);
        return nullptr;
    }
    return &channel_table[n];
}

// A stream still open on the channel is closed before another is opened: left open, its buffered
// text would be lost with the pointer, or written over the new file when the run ends.
void close_stream(RtChannel& c) {
    if (c.stream != nullptr) {
        fclose(c.stream);
        c.stream = nullptr;
    }
    c.read_flag = 0;
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
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    io_result = 0;
    if (c->name.length == 0) {
        io_result = kIoNoName;
        return;
    }
    close_stream(*c);
    c->stream = fopen(c->name.c_str(), "wb");
    if (c->stream == nullptr || ferror(c->stream)) {
        io_result = kIoCannotOpen;
        mark_closed(*c);
        return;
    }
    c->read_flag = 0;
    c->state = kChannelWriting;
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
void reset_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    io_result = 0;
    if (c->name.length == 0) {
        io_result = kIoNoName;
        return;
    }
    close_stream(*c);
    errno = 0;
    c->stream = fopen(c->name.c_str(), "rb");
    if (c->stream == nullptr) {
        io_result = errno == ENOENT ? kIoFolderMissing : kIoCannotOpen;
        mark_closed(*c);
        return;
    }
    c->read_flag = 1;
    c->state = kChannelReading;
}

// Byte by byte through the stream's own buffer (the unlocked getc: the worker is the channels'
// only user) into one growing buffer, so that a line of any length costs one pass and its result
// one allocation. A CR counts only before LF; a last line ends at the end of the file.
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
    std::string line;
    int byte = _getc_nolock(stream);
    if (byte == EOF) {
        io_result = kIoNoLine;
        return RtString();
    }
    while (byte != EOF && byte != '\n') {
        line.push_back(static_cast<char>(byte));
        byte = _getc_nolock(stream);
    }
    if (ferror(stream)) {
        io_result = kIoNoLine;
    }
    if (byte == '\n' && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return RtString(line.data(), 0, static_cast<int32_t>(line.size()));
}

int32_t end_of_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return 1;
    }
    io_result = 0;
    FILE* stream = reading_stream(*c);
    if (stream == nullptr) {
        return 1;
    }
    int byte = _getc_nolock(stream);
    if (byte == EOF) {
        if (ferror(stream)) {
            io_result = kIoNoLine;
        }
        return 1;
    }
    ungetc(byte, stream);
    return 0;
}

void close_file(int32_t n) {
    RtChannel* c = channel(n);
    if (c == nullptr) {
        return;
    }
    io_result = 0;
    c->read_flag = 0;
    if (c->stream != nullptr) {
        // Closing writes the text still buffered; when that fails the file lacks it. The buffer is
        // flushed first: not every C runtime's fclose reports a failed flush.
        bool flushed = fflush(c->stream) == 0;
        if (fclose(c->stream) != 0 || !flushed) {
            io_result = kIoNotWritable;
        }
        c->stream = nullptr;
    } else if (c->handle != nullptr) {
        release_channel(n);
    }
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
        io_result = kIoFolderMissing;
        return 0;
    }
    return 1;
}

void close_all_channels() {
    for (RtChannel& c : channel_table) {
        if (c.stream != nullptr) {
            fclose(c.stream);
        }
        if (c.handle != nullptr) {
            CloseHandle(c.handle);
        }
        c = RtChannel();
    }
}
