#include "runtime/values/string_functions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/values/regex_dialect.h"
#include "runtime/settings/switch_vars.h"

namespace {

std::string bytes(const RtString& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length));
}

RtString rt(const std::string& s) {
    RtString result;
    result.append_bytes(s.data(), s.size());
    return result;
}

// Records the reports that pure code makes; the reporter "returns", as at errorlevel -1.
std::vector<int32_t> g_reports;

void record_error(int32_t code, const char*) {
    g_reports.push_back(code);
}

class StringFunctions : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reports.clear();
        g_switches.regex = 0;
        install_report_routines(record_error, record_error);
    }
    void TearDown() override { install_report_routines(nullptr, nullptr); }
};

// The result keeps the string invariant: a terminator right behind the text.
void expect_terminated(const RtString& s) {
    ASSERT_NE(s.data, nullptr);
    EXPECT_EQ(s.data[s.length], 0);
}

struct LeftRightRow {
    const char* text;
    int32_t n;
    const char* left;
    const char* right;
};

TEST_F(StringFunctions, LeftAndRight) {
    const LeftRightRow rows[] = {
        {"abc", 10, "abc", ""},        {"abc", 3, "abc", "abc"}, {"abc", 4, "abc", ""},
        {"abc", 2, "ab", "bc"},        {"abc", 1, "a", "c"},     {"abc", 0, "", ""},
        {"abc", -1, "", ""},           {"", 1, "", ""},          {"abc", INT32_MIN, "", ""},
        {"abc", INT32_MAX, "abc", ""},
    };
    for (const LeftRightRow& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " n=" + std::to_string(row.n));
        RtString left = string_left(RtString(row.text), row.n);
        RtString right = string_right(RtString(row.text), row.n);
        EXPECT_EQ(bytes(left), row.left);
        EXPECT_EQ(bytes(right), row.right);
        expect_terminated(left);
        expect_terminated(right);
    }
}

struct FieldRow {
    const char* text;
    int32_t n;
    const char* separator;
    const char* expected;
};

TEST_F(StringFunctions, FieldPieces) {
    const FieldRow rows[] = {
        {"abc", 1, ",", "abc"},
        {"abc", -1, ",", "abc"},
        {"abc", 2, ",", ""},
        {"abc", -2, ",", ""},
        {"a,b,,c", 1, ",", "a"},
        {"a,b,,c", 2, ",", "b"},
        {"a,b,,c", 3, ",", ""},
        {"a,b,,c", 4, ",", "c"},
        {"a,b,,c", -1, ",", "c"},
        {"a,b,,c", -3, ",", "b"},
        {"a,b,,c", -4, ",", "a"},
        {"a,b,,c", 5, ",", ""},
        {"a,b,,c", -5, ",", ""},
        {",x,", 1, ",", ""},
        {",x,", 2, ",", "x"},
        {",x,", 3, ",", ""},
        {"a,b", 1, "", "a,b"},
        {"a,b", 2, "", ""},
        {"one--two--three", 2, "--", "two"},
        {"one--two--three", -1, "--", "three"},
        {"a---b", 2, "--", "-b"},
        {"C:\\x\\y.exe", -1, "\\", "y.exe"},
    };
    for (const FieldRow& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " n=" + std::to_string(row.n) + " sep=" + row.separator);
        RtString piece = string_field(RtString(row.text), row.n, RtString(row.separator));
        EXPECT_EQ(bytes(piece), row.expected);
        expect_terminated(piece);
    }
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(StringFunctions, FieldNumberZeroIsError205AndGivesEmptyText) {
    EXPECT_EQ(bytes(string_field(RtString("a,b"), 0, RtString(","))), "");
    EXPECT_EQ(bytes(string_field(RtString("ab"), 0, RtString(","))), "");
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[0], 205);
    EXPECT_EQ(g_reports[1], 205);
}

struct TrimRow {
    std::string text;
    std::string expected;
};

TEST_F(StringFunctions, TrimStripsControlBytesAndSpaces) {
    const TrimRow rows[] = {
        {" \t\r\nword \r\n\t", "word"},
        {"   ", ""},
        {"", ""},
        {std::string("\0\x01 a b\x1F\x20", 7), "a b"},
        {"inner  blanks stay", "inner  blanks stay"},
        {"\x21!\x21", "\x21!\x21"},
    };
    for (const TrimRow& row : rows) {
        SCOPED_TRACE(row.text);
        RtString trimmed = string_trim(rt(row.text));
        EXPECT_EQ(bytes(trimmed), row.expected);
        expect_terminated(trimmed);
    }
}

// Regression: trimming read bytes as signed and cut accented letters (a trailing é or ü) off names.
TEST_F(StringFunctions, TrimKeepsBytesAbove127) {
    const TrimRow rows[] = {
        {" Caf\xE9 ", "Caf\xE9"},
        {"\xDC"
         "bung\xFC",
         "\xDC"
         "bung\xFC"},
        {"\t\x80\xA0\xFF\n", "\x80\xA0\xFF"},
    };
    for (const TrimRow& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(bytes(string_trim(rt(row.text))), row.expected);
    }
}

struct InsertRow {
    const char* inserted;
    const char* target;
    int32_t position;
    const char* expected;
};

TEST_F(StringFunctions, InsertBeforeAByte) {
    const InsertRow rows[] = {
        {"X", "abc", 1, "Xabc"},  {"X", "abc", 2, "aXbc"}, {"X", "abc", 3, "abXc"}, {"X", "abc", 4, "abcX"},
        {"X", "abc", 99, "abcX"}, {"XY", "", 1, "XY"},     {"", "abc", 2, "abc"},   {"X", "abc", INT32_MAX, "abcX"},
    };
    for (const InsertRow& row : rows) {
        SCOPED_TRACE(std::string(row.target) + " p=" + std::to_string(row.position));
        EXPECT_EQ(bytes(string_insert(RtString(row.inserted), RtString(row.target), row.position)), row.expected);
    }
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(StringFunctions, InsertBelowPositionOneIsError204AndAppends) {
    EXPECT_EQ(bytes(string_insert(RtString("X"), RtString("abc"), 0)), "abcX");
    EXPECT_EQ(bytes(string_insert(RtString("X"), RtString("abc"), -3)), "abcX");
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[0], 204);
    EXPECT_EQ(g_reports[1], 204);
}

TEST_F(StringFunctions, Spaces) {
    EXPECT_EQ(bytes(string_spaces(0)), "");
    EXPECT_EQ(bytes(string_spaces(-4)), "");
    EXPECT_EQ(bytes(string_spaces(3)), "   ");
    RtString many = string_spaces(1000);
    EXPECT_EQ(bytes(many), std::string(1000, ' '));
    expect_terminated(many);
}

struct CaseRow {
    std::string text;
    std::string upper;
    std::string lower;
};

TEST_F(StringFunctions, CaseOfWindows1252Letters) {
    const CaseRow rows[] = {
        {"stra\xDF"
         "e",
         "STRA\xDF"
         "E",
         "stra\xDF"
         "e"},
        {"\xC4\xD6\xDC", "\xC4\xD6\xDC", "\xE4\xF6\xFC"},
        {"\xE9t\xE9", "\xC9T\xC9", "\xE9t\xE9"},
        {"\xC0\xDE\xE0\xFE", "\xC0\xDE\xC0\xDE", "\xE0\xFE\xE0\xFE"},
        {"\xD7\xF7", "\xD7\xF7", "\xD7\xF7"},  // multiplication and division signs
        {"\x8A\x9A\x8C\x9C\x8E\x9E\x9F\xFF", "\x8A\x8A\x8C\x8C\x8E\x8E\x9F\x9F", "\x9A\x9A\x9C\x9C\x9E\x9E\xFF\xFF"},
        {"\xB5\xDF", "\xB5\xDF", "\xB5\xDF"},  // micro and sharp s have no capital
        {"Mixed 123 [@`{]", "MIXED 123 [@`{]", "mixed 123 [@`{]"},
        {"\x80\xA0\xBF", "\x80\xA0\xBF", "\x80\xA0\xBF"},
    };
    for (const CaseRow& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(bytes(string_upper(rt(row.text))), row.upper);
        EXPECT_EQ(bytes(string_lower(rt(row.text))), row.lower);
    }
}

TEST_F(StringFunctions, CaseStopsAtTheFirstZeroByteAndKeepsTheLength) {
    RtString s = rt(std::string("ab\0cd", 5));
    EXPECT_EQ(bytes(string_upper(s)), std::string("AB\0cd", 5));
    EXPECT_EQ(bytes(string_lower(rt(std::string("AB\0CD", 5)))), std::string("ab\0CD", 5));
    EXPECT_EQ(bytes(s), std::string("ab\0cd", 5)) << "the argument stays unchanged";
}

TEST_F(StringFunctions, CaseMappingIsAPairingOfLetters) {
    // Every byte that upper changes comes back through lower, and the other way round.
    for (int c = 1; c < 256; ++c) {
        std::string one(1, static_cast<char>(c));
        std::string up = bytes(string_upper(rt(one)));
        std::string down = bytes(string_lower(rt(one)));
        SCOPED_TRACE(c);
        if (up != one) {
            EXPECT_EQ(bytes(string_lower(rt(up))), one);
            EXPECT_EQ(down, one);
        }
        if (down != one) {
            EXPECT_EQ(bytes(string_upper(rt(down))), one);
        }
    }
}

struct ReplaceRow {
    std::string source;
    std::string search;
    std::string replacement;
    std::string expected;
};

TEST_F(StringFunctions, ReplaceLiteral) {
    const ReplaceRow rows[] = {
        {"aaaa", "aa", "b", "bb"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"aaa", "aa", "x", "xa"},
        {"abc", "", "x", "abc"},
        {"\"C:\\Program Files\\f.exe\" -url", "\"", "", "C:\\Program Files\\f.exe -url"},
        {"a b c", " ", "%20", "a%20b%20c"},
        {"", "a", "b", ""},
        {"abc", "abcd", "x", "abc"},
        {"abc", "abc", "", ""},
        {"xabcx", "abc", "abc", "xabcx"},
        {std::string("a\0b\0c", 5), std::string("\0", 1), "-", "a-b-c"},
        {"ab", "b", std::string("\0", 1), std::string("a\0", 2)},
    };
    for (const ReplaceRow& row : rows) {
        SCOPED_TRACE(row.source + " / " + row.search + " / " + row.replacement);
        RtString result = string_replace(rt(row.source), rt(row.search), rt(row.replacement));
        EXPECT_EQ(bytes(result), row.expected);
        expect_terminated(result);
    }
}

// Texts whose growth estimate exceeds 64 KiB are sized by an exact count.
TEST_F(StringFunctions, ReplaceOnLargeTextsUsesTheExactSize) {
    std::string source(100000, '.');
    for (int i = 0; i < 1000; ++i) {
        source[static_cast<size_t>(i) * 100 + 7] = '#';
    }
    RtString grown = string_replace(rt(source), RtString("#"), RtString("abc"));
    EXPECT_EQ(grown.length, 102000);
    EXPECT_EQ(string_count(grown, RtString("abc")), 1000);
    expect_terminated(grown);

    RtString shrunk = string_replace(rt(source), RtString("#"), RtString(""));
    EXPECT_EQ(shrunk.length, 99000);
    EXPECT_EQ(string_count(shrunk, RtString(".")), 99000);
}

// A reference with std::string: non-overlapping, left to right, replaced text never searched again.
std::string reference_replace(const std::string& s, const std::string& f, const std::string& r) {
    if (f.empty()) {
        return s;
    }
    std::string out;
    size_t from = 0;
    for (size_t hit; (hit = s.find(f, from)) != std::string::npos; from = hit + f.size()) {
        out.append(s, from, hit - from).append(r);
    }
    return out.append(s, from, std::string::npos);
}

size_t reference_count(const std::string& s, const std::string& t) {
    size_t n = 0;
    for (size_t hit = s.find(t); !t.empty() && hit != std::string::npos; hit = s.find(t, hit + t.size())) {
        ++n;
    }
    return n;
}

// Small alphabets make overlaps, repeats and matches at both ends frequent.
TEST_F(StringFunctions, ReplaceAndCountAgreeWithAReferenceOnRandomTexts) {
    std::mt19937 random(1234);
    auto random_text = [&](size_t max_length) {
        std::string s(random() % (max_length + 1), 'a');
        for (char& c : s) {
            c = "ab\0"[random() % 3];
        }
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string s = random_text(round < 2900 ? 12 : 70000);
        std::string f = random_text(3);
        std::string r = random_text(4);
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(bytes(string_replace(rt(s), rt(f), rt(r))), reference_replace(s, f, r));
        ASSERT_EQ(static_cast<size_t>(string_count(rt(s), rt(f))), reference_count(s, f));
    }
}

TEST_F(StringFunctions, CountAndFind) {
    EXPECT_EQ(string_count(RtString("abababa"), RtString("aba")), 2);
    EXPECT_EQ(string_count(RtString("aaaa"), RtString("")), 0);
    EXPECT_EQ(string_count(RtString(""), RtString("a")), 0);
    EXPECT_EQ(string_count(RtString("a,b,,c"), RtString(",")), 3);

    const char subject[] = "xxabcabd";
    const char* end = subject + 8;
    EXPECT_EQ(string_find(subject, end, "abd", 6, 3), subject + 5);
    EXPECT_EQ(string_find(subject, end, "abd", 5, 3), nullptr) << "only k start positions are tried";
    EXPECT_EQ(string_find(subject, end, "ab", 8, 2), subject + 2);
    EXPECT_EQ(string_find(subject, end, "d", 8, 1), subject + 7);
    EXPECT_EQ(string_find(subject, end, "bdx", 8, 3), nullptr);
    EXPECT_EQ(string_find(subject, end, "x", 0, 1), nullptr);
    EXPECT_EQ(string_find(subject, subject + 4, "abc", 8, 3), nullptr) << "a match may not run past the end";

    // A subject in a buffer of exactly its size, with its terminator: a needle that holds a 0 byte
    // matches the terminator and, were the end not kept, reads past the buffer (ASan).
    std::unique_ptr<char[]> heap(new char[3]{'a', 'b', 0});
    EXPECT_EQ(string_find(heap.get(), heap.get() + 2, "b\0x", 1000, 3), nullptr);
    EXPECT_EQ(string_find(heap.get(), heap.get() + 2, "b", 1000, 1), heap.get() + 1);
}

TEST_F(StringFunctions, RegexSwitchOnGivesTheSourceWithoutAReport) {
    g_switches.regex = 1;
    RtString unchanged = string_replace(RtString("a(b"), RtString("("), RtString("x"));
    g_switches.regex = 0;
    EXPECT_EQ(bytes(unchanged), "a(b");
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(bytes(string_replace(RtString("a(b"), RtString("("), RtString("x"))), "axb")
        << "the switch is read on every call";
}

// Any non-zero value of the switch means "on"; a replacement many times longer than its match
// outgrows the engine's first output buffer over and over.
TEST_F(StringFunctions, RegexSwitchOnAtAnyNonZeroValue) {
    for (int32_t on : {1, 2, -1, 255}) {
        g_switches.regex = on;
        EXPECT_EQ(bytes(string_replace(RtString("a1b22c333"), RtString("[0-9]+"), RtString("#"))), "a#b#c#") << on;
    }
    const std::string many(20000, 'x');
    RtString grown = string_replace(rt(many + "z"), RtString("x"), RtString("<yyyyyyyy>"));
    std::string expected;
    for (size_t i = 0; i < many.size(); ++i) {
        expected += "<yyyyyyyy>";
    }
    EXPECT_EQ(bytes(grown), expected + "z");
    expect_terminated(grown);
    EXPECT_TRUE(g_reports.empty());
}

// The code regex_compile_error gives, and string_replace gives its source back exactly then.
TEST_F(StringFunctions, RegexCompileErrorNamesWhyTheSourceComesBack) {
    const std::pair<const char*, int32_t> rows[] = {
        {"a~.b", 0}, {"a\\.b", 0}, {"[]a]", 0}, {"a{,3}", 0},   {"", 1003},       {"(a", 103},
        {"a)", 104}, {"a**", 107}, {"*a", 115}, {"[z-a]", 109}, {"~x{141}", 112}, {"(?q)", 127},
    };
    g_switches.regex = 1;
    for (const auto& [pattern, code] : rows) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(regex_compile_error(RtString(pattern)), code);
        const RtString source("a.b a\\.b a{,3}");
        EXPECT_EQ(bytes(string_replace(source, RtString(pattern), RtString("<>"))) == bytes(source), code != 0);
    }
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(StringFunctions, InitSetsRegexOff) {
    g_switches.regex = 5;
    init_string_functions();
    EXPECT_EQ(g_switches.regex, 0);
#ifdef _WIN32
    // The C runtime knows the locale by this name, and its decimal point is the full stop.
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)).rfind("English", 0), 0u) << std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(std::strtod("2.5", nullptr), 2.5);
#endif
}

}  // namespace
