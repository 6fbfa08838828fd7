// RtString: the runtime's string type. A length and an owned, 0-terminated byte buffer; no sharing,
// no capacity. Every change allocates a buffer of exactly the size the result needs.
// Used by every module; pure C++, no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>

class RtString {
public:
    RtString();
    explicit RtString(const char* text);
    RtString(const char* source, int32_t offset, int32_t count);
    RtString(const RtString& other);
    RtString& operator=(const RtString& other);
    virtual ~RtString();

    RtString& assign_cstring(const char* text);
    RtString& assign_range(const char* source, int32_t offset, int32_t count);
    RtString& assign(const RtString& other);
    RtString& assign_int(int32_t value);
    RtString& append(const RtString& other);
    RtString& append_cstring(const char* text);
    RtString& append_bytes(const void* bytes, size_t count);
    RtString& append_char(char c);
    RtString& clear();
    const char* c_str() const;

    // Takes over a buffer of at least length + 1 bytes that came from rt_alloc.
    void adopt(char* buffer, int32_t new_length);

    int32_t length;
    char* data;

private:
    void replace_buffer(char* buffer, int32_t new_length);
};

RtString concat(const RtString& left, const RtString& right);
RtString concat(const RtString& left, const char* right);
RtString concat(const char* left, const RtString& right);

bool operator==(const RtString& left, const char* right);
bool operator==(const RtString& left, const RtString& right);

// Heap for string buffers. A failed allocation is fatal: the out-of-memory handler runs and the
// process ends; rt_alloc never returns null.
char* rt_alloc(size_t size);
// Grows or shrinks a buffer from rt_alloc, keeping its bytes.
char* rt_realloc(char* buffer, size_t size);
void rt_free(char* buffer);

using RtOutOfMemoryHandler = void (*)(size_t requested);
void rt_set_out_of_memory_handler(RtOutOfMemoryHandler handler);
