#include "runtime/values/rt_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/settings/switch_vars.h"

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

// Every string keeps its invariant: a buffer, the terminator at data[length].
void expect_valid(const RtString& s) {
    ASSERT_NE(s.data, nullptr);
    EXPECT_GE(s.length, 0);
    EXPECT_EQ(s.data[s.length], 0);
}

TEST(RtString, ConstructionAndAssignment) {
    RtString empty;
    expect_valid(empty);
    EXPECT_EQ(empty.length, 0);

    RtString from_null;
    from_null.assign_cstring(nullptr);
    expect_valid(from_null);
    EXPECT_STREQ(from_null.c_str(), "");

    RtString s("hello");
    EXPECT_EQ(bytes(s), "hello");
    EXPECT_EQ(s.length, 5);

    const char source[] = "0123456789";
    EXPECT_EQ(bytes(RtString(source, 3, 4)), "3456");
    EXPECT_EQ(bytes(RtString(source, 3, 0)), "");
    EXPECT_EQ(bytes(RtString(source, 3, -5)), "");

    RtString copy(s);
    copy.append_char('!');
    EXPECT_EQ(bytes(s), "hello") << "a copy must not share its buffer";
    EXPECT_EQ(bytes(copy), "hello!");
    EXPECT_NE(copy.data, s.data);
}

TEST(RtString, SelfAssignmentAndSelfAppend) {
    RtString s("abc");
    s.assign(s);
    expect_valid(s);
    EXPECT_EQ(bytes(s), "abc");
    s = s;
    EXPECT_EQ(bytes(s), "abc");
    s.append(s);
    expect_valid(s);
    EXPECT_EQ(bytes(s), "abcabc");
    s.append_cstring(s.c_str() + 4);
    EXPECT_EQ(bytes(s), "abcabcbc");
    s.assign_range(s.c_str(), 2, 3);
    EXPECT_EQ(bytes(s), "cab");
}

TEST(RtString, EmbeddedZeroBytes) {
    RtString s;
    s.append_bytes("ab\0cd", 5);
    EXPECT_EQ(s.length, 5);
    EXPECT_EQ(bytes(s), std::string("ab\0cd", 5));
    RtString t;
    t.assign_cstring(s.c_str());
    EXPECT_EQ(bytes(t), "ab");
    RtString copy(s);
    EXPECT_EQ(copy.length, 5) << "assign copies the counted bytes, not up to the first 0";
    RtString joined = concat(s, "x");
    EXPECT_EQ(bytes(joined), std::string("ab\0cdx", 6));
}

TEST(RtString, AppendingAndConcatenation) {
    RtString s;
    s.append_cstring(nullptr).append_bytes(nullptr, 3).append_bytes("xyz", 0);
    EXPECT_EQ(s.length, 0);
    s.append_cstring("ab").append_char('c').append(RtString("de"));
    EXPECT_EQ(bytes(s), "abcde");
    expect_valid(s);

    RtString left("foo");
    RtString right("bar");
    EXPECT_EQ(bytes(concat(left, right)), "foobar");
    EXPECT_EQ(bytes(concat(left, "!")), "foo!");
    EXPECT_EQ(bytes(concat("<", right)), "<bar");
    EXPECT_EQ(bytes(left), "foo");
    EXPECT_EQ(bytes(right), "bar");

    s.clear();
    expect_valid(s);
    EXPECT_EQ(s.length, 0);
}

TEST(RtString, NeverConstructedStringReadsAsEmpty) {
    // Records in zero-filled storage that were never constructed have no buffer.
    alignas(RtString) unsigned char storage[sizeof(RtString)] = {};
    RtString s;
    s.~RtString();
    std::memcpy(storage, &s, sizeof s);  // keep the vtable pointer, clear the fields below
    RtString* raw = reinterpret_cast<RtString*>(storage);
    raw->length = 0;
    raw->data = nullptr;
    EXPECT_STREQ(raw->c_str(), "");
    raw->append_cstring("ok");
    EXPECT_EQ(bytes(*raw), "ok");
    raw->~RtString();
    new (&s) RtString();
}

struct IntCase {
    int32_t width;
    int32_t value;
    const char* text;
};

TEST(RtString, AssignIntHonoursNumwidth) {
    const IntCase cases[] = {
        {0, -1, "-1"},
        {0, 0, "0"},
        {0, 2147483647, "2147483647"},
        {0, -2147483647 - 1, "-2147483648"},
        {5, -1, "   -1"},
        {2, 12345, "12345"},
        {5, 12345, "12345"},
        {6, 12345, " 12345"},
        {-3, 42, "42"},  // a negative width pads nothing
    };
    int32_t saved = g_switches.numwidth;
    for (const IntCase& c : cases) {
        g_switches.numwidth = c.width;
        RtString s;
        s.assign_int(c.value);
        EXPECT_EQ(bytes(s), c.text) << "width " << c.width << " value " << c.value;
        expect_valid(s);
    }
    g_switches.numwidth = saved;
}

#if !defined(_WIN32)
TEST(RtStringDeathTest, ExhaustionEndsTheProcessWithAMessage) {
    // A text longer than the 32-bit signed range cannot be made: fatal, not a wrapped length.
    EXPECT_DEATH(
        {
            RtString s("x");
            s.append_bytes("y", 0x7FFFFFFFu);
        },
        "kein Speicher");
}
#endif

}  // namespace
