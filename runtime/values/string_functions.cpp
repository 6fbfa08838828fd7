#include "runtime/values/string_functions.h"

#include <clocale>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/regex/regexpr.h"
#include "runtime/settings/switch_vars.h"

namespace {

// Case tables of the Windows-1252 character set: A-Z, the accented letters 0xC0-0xDE and
// 0xE0-0xFE (without the multiplication and division signs) and the pairs S/s caron, OE/oe,
// Z/z caron and Y/y diaeresis. Sharp s (0xDF) and micro (0xB5) have no capital form. The tables
// are fixed so that the result never depends on which C-runtime locales are installed.
struct CaseTables {
    unsigned char upper[256];
    unsigned char lower[256];

    constexpr CaseTables() : upper(), lower() {
        for (int c = 0; c < 256; ++c) {
            upper[c] = static_cast<unsigned char>(c);
            lower[c] = static_cast<unsigned char>(c);
        }
        for (int c = 'a'; c <= 'z'; ++c) {
            pair(c - 0x20, c);
        }
        for (int c = 0xE0; c <= 0xFE; ++c) {
            if (c != 0xF7) {
                pair(c - 0x20, c);
            }
        }
        pair(0x8A, 0x9A);
        pair(0x8C, 0x9C);
        pair(0x8E, 0x9E);
        pair(0x9F, 0xFF);
    }

    constexpr void pair(int capital, int small) {
        upper[small] = static_cast<unsigned char>(capital);
        lower[capital] = static_cast<unsigned char>(small);
    }
};

constexpr CaseTables kCase;

// Maps the bytes of a copy of s up to its first 0 byte; the bytes behind it stay as they are.
RtString map_case(const RtString& s, const unsigned char* table) {
    RtString result(s);
    unsigned char* p = reinterpret_cast<unsigned char*>(result.data);
    const unsigned char* end = p + result.length;
    for (; p < end && *p != 0; ++p) {
        *p = table[*p];
    }
    return result;
}

bool is_blank(unsigned char c) {
    return c <= 32;
}

// Occurrences of one byte, in blocks of 64 with a fixed inner count that the compiler turns into
// vector compares; much faster than stopping at every hit of a frequent byte.
int32_t count_byte(const char* text, int32_t length, char c) {
    constexpr int32_t kBlock = 64;
    uint32_t n = 0;
    int32_t i = 0;
    for (; length - i >= kBlock; i += kBlock) {
        uint8_t hits = 0;  // at most 64
        for (int32_t j = 0; j < kBlock; ++j) {
            hits = static_cast<uint8_t>(hits + (text[i + j] == c ? 1 : 0));
        }
        n += hits;
    }
    for (; i < length; ++i) {
        n += text[i] == c ? 1u : 0u;
    }
    return static_cast<int32_t>(n);
}

// Compares n bytes inline, eight at a time: cheaper than a memcmp call for the short needles that
// follow every hit of the first byte.
bool same_bytes(const char* a, const char* b, size_t n) {
    for (; n >= 8; a += 8, b += 8, n -= 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) {
            return false;
        }
    }
    for (; n > 0; ++a, ++b, --n) {
        if (*a != *b) {
            return false;
        }
    }
    return true;
}

// The next occurrence of f in [from, end), or null. Every candidate has all of f's bytes before
// end, so the rest of it is compared without looking for a terminator.
const char* find_in(const char* from, const char* end, const RtString& f) {
    const char* needle = f.c_str();
    const size_t m = static_cast<size_t>(f.length);
    if (m == 0 || static_cast<size_t>(end - from) < m) {
        return nullptr;
    }
    const char* last = end - m + 1;  // one past the last start position
    while (from < last) {
        const char* p = static_cast<const char*>(std::memchr(from, needle[0], static_cast<size_t>(last - from)));
        if (p == nullptr) {
            return nullptr;
        }
        if (same_bytes(p + 1, needle + 1, m - 1)) {
            return p;
        }
        from = p + 1;
    }
    return nullptr;
}

// Size of the output buffer of a literal replacement (without the 4 spare bytes): the most the
// text can grow, or, when that could exceed 64 KiB, the exact size from a count of occurrences.
uint64_t replacement_size(const RtString& s, const RtString& f, const RtString& r) {
    uint64_t size = static_cast<uint64_t>(s.length);
    if (r.length > f.length) {
        size += static_cast<uint64_t>(r.length - f.length) * static_cast<uint64_t>(s.length / f.length);
    }
    if (size <= 65536) {
        return size;
    }
    uint64_t c = static_cast<uint64_t>(string_count(s, f));
    return static_cast<uint64_t>(s.length) - c * static_cast<uint64_t>(f.length) +
           (c + 1) * static_cast<uint64_t>(r.length);
}

RtString replace_literal(const RtString& s, const RtString& f, const RtString& r) {
    uint64_t size = replacement_size(s, f, r);
    if (size > 0x7FFFFFFFu) {
        // Longer than a string can be: the allocation fails and the out-of-memory handler ends the run.
        rt_alloc(static_cast<size_t>(-1));
    }
    char* buffer = rt_alloc(static_cast<size_t>(size) + 4);
    char* out = buffer;
    const char* from = s.c_str();
    const char* end = from + s.length;
    while (const char* hit = find_in(from, end, f)) {
        std::memcpy(out, from, static_cast<size_t>(hit - from));
        out += hit - from;
        std::memcpy(out, r.c_str(), static_cast<size_t>(r.length));
        out += r.length;
        from = hit + f.length;
    }
    std::memcpy(out, from, static_cast<size_t>(end - from));
    out += end - from;
    RtString result;
    result.adopt(buffer, static_cast<int32_t>(out - buffer));
    return result;
}

}  // namespace

RtString string_left(const RtString& s, int32_t n) {
    if (n <= 0) {
        return RtString();
    }
    return RtString(s.c_str(), 0, n < s.length ? n : s.length);
}

RtString string_right(const RtString& s, int32_t n) {
    if (n < 1 || n > s.length) {
        return RtString();
    }
    return RtString(s.c_str(), s.length - n, n);
}

// Pieces are counted from 1 at the left, or from -1 at the right. A piece number 0 is an error;
// when the reporter returns, it gives the empty text like any piece that does not exist.
RtString string_field(const RtString& s, int32_t n, const RtString& t) {
    if (n == 0) {
        report_error(205, nullptr);
    }
    int32_t pieces = string_count(s, t) + 1;
    if (pieces == 1) {
        return n == 1 || n == -1 ? s : RtString();
    }
    if (n < 0) {
        n = pieces + n + 1;
    }
    if (n <= 0 || n > pieces) {
        return RtString();
    }
    const char* from = s.c_str();
    const char* end = from + s.length;
    for (int32_t skipped = 1; skipped < n; ++skipped) {
        from = find_in(from, end, t) + t.length;
    }
    const char* next = find_in(from, end, t);
    const char* stop = next != nullptr ? next : end;
    return RtString(from, 0, static_cast<int32_t>(stop - from));
}

// Only the bytes 0 to 32 are blank. Bytes 128 to 255 are letters and signs of the code page and
// stay: a trailing accented letter belongs to the word.
RtString string_trim(const RtString& s) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(s.c_str());
    int32_t first = 0;
    int32_t last = s.length;
    while (first < last && is_blank(text[first])) {
        ++first;
    }
    while (last > first && is_blank(text[last - 1])) {
        --last;
    }
    return RtString(s.c_str(), first, last - first);
}

// A position beyond the end, or (when the reporter returns) below 1, appends at the end.
RtString string_insert(const RtString& i, const RtString& s, int32_t p) {
    if (p < 1) {
        report_error(204, nullptr);
    }
    uint32_t k = static_cast<uint32_t>(p) - 1u;
    if (k >= static_cast<uint32_t>(s.length)) {
        k = static_cast<uint32_t>(s.length);
    }
    RtString result(s.c_str(), 0, static_cast<int32_t>(k));
    result.append(i);
    result.append_bytes(s.c_str() + k, static_cast<size_t>(s.length) - k);
    return result;
}

RtString string_spaces(int32_t n) {
    if (n <= 0) {
        return RtString();
    }
    char* buffer = rt_alloc(static_cast<size_t>(n) + 2);
    std::memset(buffer, ' ', static_cast<size_t>(n));
    RtString result;
    result.adopt(buffer, n);
    return result;
}

RtString string_upper(const RtString& s) {
    return map_case(s, kCase.upper);
}

RtString string_lower(const RtString& s) {
    return map_case(s, kCase.lower);
}

// Literal replacement writes into one buffer sized beforehand; with the regex switch on the
// search text is a pattern for the regular-expression engine.
RtString string_replace(const RtString& s, const RtString& f, const RtString& r) {
    if (g_switches.regex != 0) {
        return string_replace_regex(s, f, r);
    }
    if (f.length == 0) {
        return s;
    }
    return replace_literal(s, f, r);
}

// A fresh engine per call compiles the pattern and replaces every match. Any exception of the
// engine (a pattern that does not compile, a run-time error of the search) gives back the source;
// nothing is reported.
RtString string_replace_regex(const RtString& s, const RtString& pattern, const RtString& replacement) {
    try {
        CRegExpr engine;
        engine.set_expression(pattern.c_str());
        return engine.replace_all(s, replacement);
    } catch (...) {
        return s;
    }
}

// Non-overlapping occurrences, scanning from the left and going on behind each one.
int32_t string_count(const RtString& s, const RtString& t) {
    if (t.length == 0) {
        return 0;
    }
    if (t.length == 1) {
        return count_byte(s.c_str(), s.length, t.c_str()[0]);
    }
    int32_t n = 0;
    const char* from = s.c_str();
    const char* end = from + s.length;
    while (const char* hit = find_in(from, end, t)) {
        ++n;
        from = hit + t.length;
    }
    return n;
}

// The first byte is looked for with memchr; the rest is compared byte by byte and stops at the
// first difference. Start positions end where the needle would no longer fit before end: a
// needle holding a 0 byte would otherwise match the terminator and read on past the buffer.
const char* string_find(const char* start, const char* end, const char* needle, int32_t k, int32_t m) {
    if (k < 1 || m < 1 || end - start < m) {
        return nullptr;
    }
    const char first = needle[0];
    const char* p = start;
    const char* last = end - start - m + 1 < k ? end - m + 1 : start + k;
    while (p < last) {
        p = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(last - p)));
        if (p == nullptr) {
            return nullptr;
        }
        int32_t i = 1;
        while (i < m && p[i] == needle[i]) {
            ++i;
        }
        if (i == m) {
            return p;
        }
        ++p;
    }
    return nullptr;
}

// The "English" locale fixes the decimal point of the C runtime's number conversions; the case
// tables above do not depend on it.
void init_string_functions() {
    std::setlocale(LC_ALL, "English");
    g_switches.regex = 0;
}
