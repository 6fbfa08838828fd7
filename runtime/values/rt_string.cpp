#include "runtime/values/rt_string.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/settings/switch_vars.h"

namespace {

void default_out_of_memory(size_t requested) {
    std::fprintf(stderr, "Laufzeitfehler: kein Speicher mehr frei (%lu Bytes angefordert)\n",
                 static_cast<unsigned long>(requested));
    std::fflush(stderr);
    std::abort();
}

RtOutOfMemoryHandler g_out_of_memory = default_out_of_memory;

constexpr size_t kMaxLength = 0x7FFFFFFF;

// Sizes of new texts are computed in size_t; a text longer than the 32-bit signed range cannot be
// represented and counts as exhaustion too.
size_t checked_length(size_t a, size_t b) {
    if (a > kMaxLength || b > kMaxLength - a) {
        g_out_of_memory(a + b);
        std::abort();
    }
    return a + b;
}

// A fresh buffer holding count bytes of source, the terminator and the spare byte.
char* copy_buffer(const char* source, int32_t count) {
    char* buffer = rt_alloc(static_cast<size_t>(count) + 2);
    if (count > 0) {
        std::memcpy(buffer, source, static_cast<size_t>(count));
    }
    buffer[count] = 0;
    buffer[count + 1] = 0;
    return buffer;
}

}  // namespace

char* rt_alloc(size_t size) {
    void* p = std::malloc(size);
    if (p == nullptr) {
        g_out_of_memory(size);
        std::abort();  // a handler must not return
    }
    return static_cast<char*>(p);
}

char* rt_realloc(char* buffer, size_t size) {
    void* p = std::realloc(buffer, size);
    if (p == nullptr) {
        g_out_of_memory(size);
        std::abort();
    }
    return static_cast<char*>(p);
}

void rt_free(char* buffer) {
    std::free(buffer);
}

void rt_set_out_of_memory_handler(RtOutOfMemoryHandler handler) {
    g_out_of_memory = handler != nullptr ? handler : default_out_of_memory;
}

// Each constructor allocates its buffer once, at the size the text needs.
RtString::RtString() : length(0), data(copy_buffer(nullptr, 0)) {}

RtString::RtString(const char* text)
    : RtString(text, 0, static_cast<int32_t>(checked_length(text != nullptr ? std::strlen(text) : 0, 0))) {}

RtString::RtString(const char* source, int32_t offset, int32_t count)
    : length(count < 1 || source == nullptr ? 0 : count), data(copy_buffer(length > 0 ? source + offset : nullptr, length)) {}

RtString::RtString(const RtString& other) : RtString(other.data, 0, other.length) {}

RtString& RtString::operator=(const RtString& other) {
    return assign(other);
}

RtString::~RtString() {
    rt_free(data);
}

void RtString::replace_buffer(char* buffer, int32_t new_length) {
    rt_free(data);
    data = buffer;
    length = new_length;
}

void RtString::adopt(char* buffer, int32_t new_length) {
    buffer[new_length] = 0;
    replace_buffer(buffer, new_length);
}

RtString& RtString::assign_cstring(const char* text) {
    size_t n = text != nullptr ? std::strlen(text) : 0;
    return assign_range(text, 0, static_cast<int32_t>(checked_length(n, 0)));
}

RtString& RtString::assign_range(const char* source, int32_t offset, int32_t count) {
    if (count < 1 || source == nullptr) {
        return clear();
    }
    // The source may be this string's own buffer: copy before freeing.
    replace_buffer(copy_buffer(source + offset, count), count);
    return *this;
}

RtString& RtString::assign(const RtString& other) {
    if (&other == this) {
        return *this;
    }
    return assign_range(other.c_str(), 0, other.length);
}

RtString& RtString::assign_int(int32_t value) {
    char digits[12];
    int n = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(value));
    // A negative width would ask for billions of blanks; it pads nothing.
    int32_t width = g_switches.numwidth;
    if (width <= n) {
        return assign_range(digits, 0, n);
    }
    char* buffer = rt_alloc(static_cast<size_t>(width) + 2);
    std::memset(buffer, ' ', static_cast<size_t>(width - n));
    std::memcpy(buffer + (width - n), digits, static_cast<size_t>(n));
    adopt(buffer, width);
    return *this;
}

RtString& RtString::append(const RtString& other) {
    return append_bytes(other.c_str(), static_cast<size_t>(other.length));
}

RtString& RtString::append_cstring(const char* text) {
    if (text == nullptr) {
        return *this;
    }
    return append_bytes(text, std::strlen(text));
}

RtString& RtString::append_bytes(const void* bytes, size_t count) {
    if (bytes == nullptr || count == 0) {
        return *this;
    }
    size_t old_length = static_cast<size_t>(length);
    size_t new_length = checked_length(old_length, count);
    // The appended bytes may lie in this string's own buffer: copy before freeing.
    char* buffer = rt_alloc(new_length + 2);
    std::memcpy(buffer, c_str(), old_length);
    std::memcpy(buffer + old_length, bytes, count);
    adopt(buffer, static_cast<int32_t>(new_length));
    return *this;
}

RtString& RtString::append_char(char c) {
    size_t old_length = static_cast<size_t>(length);
    size_t new_length = checked_length(old_length, 1);
    char* buffer = rt_alloc(new_length + 1);
    std::memcpy(buffer, c_str(), old_length);
    buffer[old_length] = c;
    adopt(buffer, static_cast<int32_t>(new_length));
    return *this;
}

RtString& RtString::clear() {
    replace_buffer(copy_buffer(nullptr, 0), 0);
    return *this;
}

const char* RtString::c_str() const {
    // Never-constructed strings in zero-filled storage have no buffer and read as empty.
    return data != nullptr ? data : "";
}

RtString concat(const RtString& left, const RtString& right) {
    RtString result(left);
    result.append(right);
    return result;
}

RtString concat(const RtString& left, const char* right) {
    RtString result(left);
    result.append_cstring(right);
    return result;
}

RtString concat(const char* left, const RtString& right) {
    RtString result(left);
    result.append(right);
    return result;
}

bool operator==(const RtString& left, const RtString& right) {
    return left.length == right.length && std::memcmp(left.c_str(), right.c_str(), static_cast<size_t>(left.length)) == 0;
}

bool operator==(const RtString& left, const char* right) {
    if (right == nullptr) {
        return left.length == 0;
    }
    size_t n = std::strlen(right);
    return static_cast<size_t>(left.length) == n && std::memcmp(left.c_str(), right, n) == 0;
}
