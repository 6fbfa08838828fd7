/// \file
/// RtString: the runtime's string type. A length and an owned, 0-terminated byte buffer; no sharing,
/// no capacity. Every change allocates a buffer of exactly the size the result needs.
/// Used by every module; pure C++, no platform headers. A string belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

/// A text of 8-bit bytes (Windows-1252): \ref length bytes in an owned buffer, followed by a 0
/// byte. The bytes may themselves hold 0 bytes; functions that take a C string (c_str()) stop at
/// the first. Copies are deep. Every member that changes the text returns the string itself.
class RtString {
public:
    /// The empty text.
    RtString();
    /// A copy of the C string \p text up to its 0 byte; null gives the empty text.
    explicit RtString(const char* text);
    /// A copy of \p count bytes of \p source from byte \p offset on (0-based), 0 bytes included;
    /// \p count below 1 or a null \p source gives the empty text.
    RtString(const char* source, int32_t offset, int32_t count);
    /// A copy of \p other's bytes.
    RtString(const RtString& other);
    /// Becomes a copy of \p other's bytes (also when \p other is this string).
    RtString& operator=(const RtString& other);
    /// Frees the buffer.
    virtual ~RtString();

    /// Becomes a copy of the C string \p text (null: the empty text).
    RtString& assign_cstring(const char* text);
    /// Becomes a copy of \p count bytes of \p source from byte \p offset on (0-based); \p source
    /// may point into this string's own buffer. \p count below 1 or a null \p source: empty.
    RtString& assign_range(const char* source, int32_t offset, int32_t count);
    /// Becomes a copy of \p other.
    RtString& assign(const RtString& other);
    /// Becomes the decimal text of \p value ("-12"), right-aligned with blanks to the width of the
    /// `numwidth` switch when that is larger (see \ref switches).
    RtString& assign_int(int32_t value);
    /// Appends \p other's bytes.
    RtString& append(const RtString& other);
    /// Appends the C string \p text (null: nothing).
    RtString& append_cstring(const char* text);
    /// Appends \p count bytes from \p bytes (which may lie in this string's own buffer).
    RtString& append_bytes(const void* bytes, size_t count);
    /// Appends the byte \p c.
    RtString& append_char(char c);
    /// Becomes the empty text.
    RtString& clear();
    /// The bytes, 0-terminated; valid until the string is changed or destroyed. Never null.
    const char* c_str() const;

    /// Takes over \p buffer, which came from rt_alloc() and holds at least \p new_length + 1 bytes,
    /// as its text of \p new_length bytes (the byte after them is set to 0); frees its old buffer.
    void adopt(char* buffer, int32_t new_length);

    /// The number of bytes, without the terminating 0 byte.
    int32_t length;
    /// The buffer: \ref length bytes and a 0 byte. Owned by the string: read it, change bytes in
    /// place, never free or replace it.
    char* data;

private:
    void replace_buffer(char* buffer, int32_t new_length);
};

/// A new string: \p left's bytes followed by \p right's.
RtString concat(const RtString& left, const RtString& right);
/// A new string: \p left's bytes followed by the C string \p right (null: nothing).
RtString concat(const RtString& left, const char* right);
/// A new string: the C string \p left (null: nothing) followed by \p right's bytes.
RtString concat(const char* left, const RtString& right);

/// True when \p left holds exactly the bytes of the C string \p right (null counts as "").
bool operator==(const RtString& left, const char* right);
/// True when both hold the same bytes (compared byte by byte, case-sensitively).
bool operator==(const RtString& left, const RtString& right);

/// Heap for string buffers: a block of \p size bytes. A failed allocation is fatal: the
/// out-of-memory handler runs and the process ends ("Nicht genug Speicher!", exit code 1, once
/// the runtime has started; see \ref errors); rt_alloc never returns null. Any thread.
char* rt_alloc(size_t size);
/// Grows or shrinks \p buffer (from rt_alloc()) to \p size bytes, keeping its bytes; the result
/// replaces \p buffer. Fatal like rt_alloc() when it cannot.
char* rt_realloc(char* buffer, size_t size);
/// Frees a block from rt_alloc() or rt_realloc(); null does nothing.
void rt_free(char* buffer);

/// What a failed string allocation calls with the size it asked for; it must not return.
using RtOutOfMemoryHandler = void (*)(size_t requested);
/// Installs \p handler (null: the default, which prints to standard error and aborts). The
/// runtime installs its own at start-up; a program body has no need to.
void rt_set_out_of_memory_handler(RtOutOfMemoryHandler handler);
