#include "runtime/values/rt_value.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/settings/switch_vars.h"
#include "runtime/values/frames.h"

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

TEST(RtValue, FromIntegerVariableAndLiteral) {
    int32_t literal = 38;
    RtValue v = value_from_int(38, &literal);
    EXPECT_EQ(v.kind, kValueInt);
    EXPECT_EQ(v.int_value, 38);
    EXPECT_EQ(v.float_value, 38.0);
    EXPECT_EQ(bytes(v.text), "38");
    EXPECT_EQ(v.ref, &literal);

    g_switches.numwidth = 4;
    RtValue padded = value_from_int(-7, &literal);
    g_switches.numwidth = 0;
    EXPECT_EQ(bytes(padded.text), "  -7");
    EXPECT_EQ(padded.int_value, -7);
}

TEST(RtValue, FromStringVariableCopiesTheText) {
    RtString var("name");
    RtValue v = value_from_string_var(var);
    EXPECT_EQ(v.kind, kValueString);
    EXPECT_EQ(v.int_value, 0);
    EXPECT_EQ(v.float_value, 0.0);
    EXPECT_EQ(v.ref, &var);
    var.append_char('!');
    EXPECT_EQ(bytes(v.text), "name") << "the value owns its text";
}

struct ParseCase {
    const char* text;
    int32_t int_value;
    double float_value;
};

TEST(RtValue, TextToNumbers) {
    const ParseCase cases[] = {
        {"12abc", 12, 12.0},
        {"abc", 0, 0.0},
        {"", 0, 0.0},
        {"  -42", -42, -42.0},
        {"+7", 7, 7.0},
        {"3.75", 3, 3.75},
        {"-0.5e1", 0, -5.0},
        {".5", 0, 0.5},
        {"4294967297", 1, 4294967297.0},  // the integer wraps
        {"0x1A", 0, 0.0},
        {"0X1A", 0, 0.0},
        {"\t\r\v 12", 12, 12.0},  // the white-space control bytes, TAB to CR
        {"\b12", 0, 0.0},
        {"\x0E+12", 0, 0.0},
        {"inf", 0, 0.0},
        {"- 5", 0, 0.0},
    };
    for (const ParseCase& c : cases) {
        RtValue v = value_parse_text(RtString(c.text));
        EXPECT_EQ(v.int_value, c.int_value) << c.text;
        EXPECT_DOUBLE_EQ(v.float_value, c.float_value) << c.text;
        EXPECT_EQ(bytes(v.text), c.text);
        EXPECT_EQ(v.kind, kValueString);
        EXPECT_EQ(v.ref, nullptr);
    }
}

TEST(RtValue, FromTextStoresTheResultSlot) {
    RtValue v = value_from_text(RtString("12abc"));
    EXPECT_EQ(v.int_value, 12);
    EXPECT_EQ(bytes(result_slot().text), "12abc");
    EXPECT_EQ(result_slot().int_value, 12);
    value_from_text(RtString("x"));
    EXPECT_EQ(bytes(v.text), "12abc") << "the returned value is a copy of the slot";
}

TEST(RtValue, AppendTextMakesAStringValue) {
    int32_t n = 5;
    RtValue v = value_from_int(5, &n);
    RtValue copy = value_append_text(v, RtString("x"));
    EXPECT_EQ(bytes(v.text), "5x");
    EXPECT_EQ(v.kind, kValueString);
    EXPECT_EQ(v.int_value, 0);
    EXPECT_EQ(v.float_value, 0.0);
    EXPECT_EQ(v.ref, nullptr);
    EXPECT_EQ(bytes(copy.text), "5x");
}

TEST(RtValue, CopyIsDeepAndAssignmentToAStringVariable) {
    RtString var("abc");
    RtValue v = value_from_string_var(var);
    RtValue copy = v;
    copy.text.append_char('d');
    EXPECT_EQ(bytes(v.text), "abc");
    EXPECT_EQ(copy.ref, v.ref);

    RtString target("old");
    RtString returned = assign_value(target, copy);
    EXPECT_EQ(bytes(target), "abcd");
    EXPECT_EQ(bytes(returned), "abcd");
    EXPECT_EQ(bytes(value_text(copy)), "abcd");
}

}  // namespace
