#include "runtime/system/hidden_list.h"

#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/values/string_functions.h"

std::deque<RtString> file_list;
int32_t last_index = -1;

void add_string(const RtString& s) {
    file_list.emplace_back(s);
    last_index = static_cast<int32_t>(file_list.size()) - 1;
}

void clear_list() {
    if (last_index == -1) {
        return;
    }
    std::deque<RtString>().swap(file_list);
    last_index = -1;
}

RtString list_item(int32_t n) {
    int32_t count = static_cast<int32_t>(file_list.size());
    if (n > count) {
        report_error(206, nullptr);
        return RtString();
    }
    if (n < 0 || n == count) {
        return RtString();
    }
    return file_list[static_cast<size_t>(n)];
}

// One allocation of the exact size: joining by repeated appends would copy the text once per entry.
RtString list_text() {
    size_t total = 0;
    for (const RtString& entry : file_list) {
        total += static_cast<size_t>(entry.length) + 2;
    }
    RtString text;
    if (total < 2) {
        return text;
    }
    total -= 2;
    char* buffer = rt_alloc(total + 2);
    char* p = buffer;
    for (const RtString& entry : file_list) {
        std::memcpy(p, entry.c_str(), static_cast<size_t>(entry.length));
        p += entry.length;
        if (static_cast<size_t>(p - buffer) < total) {
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    text.adopt(buffer, static_cast<int32_t>(total));
    return text;
}

std::vector<RtString> split_columns(const RtString& text, const RtString& separator) {
    std::vector<RtString> pieces;
    if (separator.length == 0) {
        pieces.emplace_back(text);
        return pieces;
    }
    const char* start = text.c_str();
    const char* end = start + text.length;
    for (;;) {
        const char* hit = string_find(start, end, separator.c_str(),
                                      static_cast<int32_t>(end - start) - separator.length + 1, separator.length);
        if (hit == nullptr) {
            pieces.emplace_back(start, 0, static_cast<int32_t>(end - start));
            return pieces;
        }
        pieces.emplace_back(start, 0, static_cast<int32_t>(hit - start));
        start = hit + separator.length;
    }
}

// prefix + "\" + name with each "\\" made one backslash, left to right and not overlapping, in one
// pass into one buffer. Collapsing every "\\" would turn the "\\server\share" of a network folder
// into a path on the current drive, so the two leading backslashes of such a path are kept apart.
// The bytes are taken literally, whatever the string switches say.
RtString join_path(const RtString& prefix, const RtString& name) {
    const size_t left = static_cast<size_t>(prefix.length);
    const size_t total = left + 1 + static_cast<size_t>(name.length);
    auto at = [&](size_t i) { return i < left ? prefix.data[i] : i == left ? '\\' : name.data[i - left - 1]; };
    char* out = rt_alloc(total + 2);
    size_t i = 0;
    size_t n = 0;
    if (total > 2 && at(0) == '\\' && at(1) == '\\' && at(2) != '\\') {
        out[n++] = '\\';
        out[n++] = '\\';
        i = 2;
    }
    while (i < total) {
        char c = at(i);
        out[n++] = c;
        i += c == '\\' && i + 1 < total && at(i + 1) == '\\' ? 2 : 1;
    }
    RtString path;
    path.adopt(out, static_cast<int32_t>(n));
    return path;
}
