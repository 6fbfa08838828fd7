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

// Collapsing every "\\" would turn the "\\server\share" of a network folder into a path on the
// current drive, so the two leading backslashes of such a path are kept apart.
RtString join_path(const RtString& prefix, const RtString& name) {
    static const RtString kDouble("\\\\");
    static const RtString kSingle("\\");
    RtString path = concat(concat(prefix, "\\"), name);
    bool network = path.length > 2 && path.data[0] == '\\' && path.data[1] == '\\' && path.data[2] != '\\';
    if (!network) {
        return string_replace(path, kDouble, kSingle);
    }
    RtString rest(path.c_str(), 2, path.length - 2);
    return concat(kDouble, string_replace(rest, kDouble, kSingle));
}
