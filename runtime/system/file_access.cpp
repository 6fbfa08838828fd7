#include "runtime/system/file_access.h"

#include "runtime/core/errors.h"
#include "runtime/settings/switch_vars.h"

RtChannel channel_table[100];
int32_t io_result = 0;

namespace {

constexpr int32_t kIoFolderMissing = 2;
constexpr int32_t kIoCannotOpen = 5;
constexpr int32_t kIoNoName = 102;
constexpr int32_t kIoNotWritable = 103;

// Error 210 for a channel number outside 1..99.
RtChannel* channel(int32_t n) {
    if (n < 1 || n > 99) {
        report_error(210, nullptr);
        return nullptr;
    }
    return &channel_table[n];
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

// A stream still open on the channel is closed first: left open, its buffered text would be lost
// with the pointer, or written over the new file when the run ends.
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
    if (c->stream != nullptr) {
        fclose(c->stream);
        c->stream = nullptr;
    }
    c->stream = fopen(c->name.c_str(), "wb");
    if (c->stream == nullptr || ferror(c->stream)) {
        io_result = kIoCannotOpen;
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
